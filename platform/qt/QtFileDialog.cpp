#include "platform/qt/QtFileDialog.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/WindowBinding.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPointer>

#include <memory>

namespace {

QString ToQt(const wstring16 &s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }
wstring16 FromQt(const QString &s) { return wstring16(reinterpret_cast<const char16_t *>(s.utf16()), s.size()); }

// Qt reads the patterns from the last parentheses of a name filter; the text is
// kept as written and the pattern added unless the text already ends with it.
QString NameFilter(const FileDialogFilter &f)
{
    QString pattern = ToQt(f.pattern);
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString text = ToQt(f.text);
    if (text.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
        return text;
    return text + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

// The raw pattern of the filter the dialog shows now.
wstring16 SelectedPattern(const QFileDialog &dialog, const FileDialogRequest &request)
{
    const auto filters = ParseFileDialogFilter(request.filter);
    const QString selected = dialog.selectedNameFilter();
    for (const auto &f : filters)
        if (NameFilter(f) == selected)
            return f.pattern;
    return filters.empty() ? wstring16() : filters.front().pattern;
}

void UpdateSuffix(QFileDialog &dialog, const FileDialogRequest &request)
{
    // Lets Qt's overwrite check see the name with its extension.
    const wstring16 withExt = ApplyDefaultExtension(u"x", request.defaultExtension, SelectedPattern(dialog, request));
    dialog.setDefaultSuffix(withExt.size() > 2 ? ToQt(withExt.substr(2)) : QString());
}

} // namespace

void QtFileDialog::Install() { SetFileDialogBackend(&QtFileDialog::Run); }

void QtFileDialog::Uninstall() { SetFileDialogBackend(nullptr); }

QFileDialog *QtFileDialog::Build(const FileDialogRequest &request)
{
    auto *dialog = new QFileDialog(WindowBinding::WidgetOf(request.owner));
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save)
        dialog->setFileMode(QFileDialog::AnyFile);
    else
        dialog->setFileMode((request.flags & OFN_CREATEPROMPT) ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
    QStringList names;
    for (const auto &f : ParseFileDialogFilter(request.filter))
        names << NameFilter(f);
    if (!names.isEmpty())
        dialog->setNameFilters(names);
    dialog->setDirectory(QDir::currentPath());
    if (!request.initialName.empty())
        dialog->selectFile(ToQt(request.initialName));
    UpdateSuffix(*dialog, request);
    QObject::connect(
        dialog, &QFileDialog::filterSelected, dialog, [dialog, request] { UpdateSuffix(*dialog, request); });
    return dialog;
}

wstring16 QtFileDialog::ChosenPath(const QFileDialog &dialog, const FileDialogRequest &request)
{
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return {};
    return ApplyDefaultExtension(FromQt(files.front()), request.defaultExtension, SelectedPattern(dialog, request));
}

bool QtFileDialog::Run(const FileDialogRequest &request, wstring16 *path)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    auto chosen = std::make_shared<wstring16>();
    const int accepted = QtPlatform::CallOnUiThread(
        [request, chosen](std::function<void(int)> answer) {
            QPointer<QFileDialog> dialog = Build(request);
            const int result = dialog->exec();
            if (!dialog) {
                answer(0);
                return;
            }
            if (result == QDialog::Accepted)
                *chosen = ChosenPath(*dialog, request);
            delete dialog.data();
            answer(result == QDialog::Accepted && !chosen->empty() ? 1 : 0);
        },
        0);
    if (!accepted)
        return false;
    if (path)
        *path = *chosen;
    return true;
}
