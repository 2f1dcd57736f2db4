#include "app/CVellumDoc.h"

#include "app/CChildFrame.h"
#include "platform/Resource.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

CVellumDoc::CVellumDoc(QObject *parent) : QObject(parent) { }

wstring16 CVellumDoc::DocString(DocStringIndex index)
{
    // Window title, document name, new-file name, filter, extension, type identifier, type name.
    const QStringList fields = QString::fromStdU16String(Resource::String(IDR_VellumTYPE)).split(QLatin1Char('\n'));
    return fields.value(index).toStdU16String();
}

bool CVellumDoc::OnNewDocument()
{
    m_strPathName.clear();
    const wstring16 name = DocString(docName);
    SetTitle(name.empty() ? u"Tessaly" : name);
    return true;
}

bool CVellumDoc::OnOpenDocument(const wstring16 &path)
{
    QFile file(QString::fromStdU16String(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    SetPathName(path);
    return true;
}

bool CVellumDoc::OnSaveDocument(const wstring16 &path)
{
    QFile file(QString::fromStdU16String(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.close();
    SetPathName(path);
    return true;
}

void CVellumDoc::SetTitle(const wstring16 &title)
{
    m_strTitle = title;
    emit TitlesChanged();
}

void CVellumDoc::SetPathName(const wstring16 &path)
{
    m_strPathName = path;
    SetTitle(QFileInfo(QString::fromStdU16String(path)).fileName().toStdU16String());
}

void CVellumDoc::AddFrame(CChildFrame *frame)
{
    m_frames.append(frame);
    emit TitlesChanged();
}

void CVellumDoc::RemoveFrame(CChildFrame *frame)
{
    m_frames.removeAll(frame);
    m_frames.removeAll(nullptr);
    if (m_frames.isEmpty()) {
        deleteLater();
        return;
    }
    emit TitlesChanged();
}

QList<CChildFrame *> CVellumDoc::Frames() const
{
    QList<CChildFrame *> frames;
    for (const auto &frame : m_frames)
        if (frame)
            frames.append(frame);
    return frames;
}

wstring16 CVellumDoc::FrameTitle(const CChildFrame *frame) const
{
    const QList<CChildFrame *> frames = Frames();
    if (frames.size() < 2)
        return m_strTitle;
    const qsizetype index = frames.indexOf(const_cast<CChildFrame *>(frame));
    return m_strTitle + u":" + QString::number(index + 1).toStdU16String();
}

QString CVellumDoc::MailOpener() { return QStandardPaths::findExecutable(QStringLiteral("xdg-email")); }

bool CVellumDoc::OnUpdateFileSendMail() const { return !MailOpener().isEmpty(); }

bool CVellumDoc::OnFileSendMail(const wstring16 &address) const
{
    const QString opener = MailOpener();
    if (opener.isEmpty() || address.empty())
        return false;
    // Each argument as it is: a page address may hold anything a shell would read.
    return QProcess::startDetached(opener,
        {QStringLiteral("--utf8"), QStringLiteral("--subject"), QString::fromStdU16String(m_strTitle),
            QStringLiteral("--body"), QString::fromStdU16String(address)});
}
