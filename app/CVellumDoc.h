#pragma once
// The document of one or more tabs. It carries no data: saving writes an empty
// file, opening reads nothing. Its title names its tabs; with several frames on
// one document each tab gets the title followed by ":" and its number.

#include "platform/Win32Types.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class CChildFrame;

class CVellumDoc : public QObject {
    Q_OBJECT
public:
    enum : UINT { ID_FILE_SEND_MAIL = 57612, IDR_VellumTYPE = 130 };
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
    // A field of the document string (string 130).
    static wstring16 DocString(DocStringIndex index);

    explicit CVellumDoc(QObject *parent = nullptr);

    // A new document: the title becomes the document string's name, "Tessaly".
    bool OnNewDocument();
    // A document from a file: the title becomes the file's name.
    bool OnOpenDocument(const wstring16 &path);
    // Writes the (empty) document to path; false when the file cannot be written.
    bool OnSaveDocument(const wstring16 &path);

    const wstring16 &GetTitle() const { return m_strTitle; }
    void SetTitle(const wstring16 &title);
    const wstring16 &GetPathName() const { return m_strPathName; }
    void SetPathName(const wstring16 &path);

    // Send: hands a page's address to the user's mail program through the
    // desktop's mail opener (xdg-email), with the document's title as subject.
    // Offered only where the opener is on the PATH. False when it could not be started.
    bool OnFileSendMail(const wstring16 &address) const;
    bool OnUpdateFileSendMail() const;
    // The opener's full path; empty where the desktop has none.
    static QString MailOpener();

    void AddFrame(CChildFrame *frame);
    // The document goes away with its last frame.
    void RemoveFrame(CChildFrame *frame);
    QList<CChildFrame *> Frames() const;
    // The title the frame's tab shows.
    wstring16 FrameTitle(const CChildFrame *frame) const;

signals:
    void TitlesChanged();

private:
    wstring16 m_strTitle;
    wstring16 m_strPathName;
    QList<QPointer<CChildFrame>> m_frames;
};
