// Real file dialogs driven as a person would: type a name, accept or cancel.

#include "platform/qt/QtFileDialog.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

QFileDialog *VisibleDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QFileDialog *>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// Once a dialog shows, types name into it and accepts (empty name: cancels).
void AnswerNextDialog(const QString &name)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, name] {
        QFileDialog *dialog = VisibleDialog();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(name);
        static_cast<QDialog *>(dialog)->accept(); // runs the file dialog's own checks
    });
    timer->start(5);
}

FileDialogRequest CatalogueSave()
{
    FileDialogRequest r;
    r.save = true;
    r.defaultExtension = u"*.opml,*.xml";
    r.filter = u"[临时-Config.xml] Xml Files(*.xml)|*.xml|";
    return r;
}

TEST(QtFileDialog, BuildsModesFiltersAndOverwritePrompt)
{
    FileDialogRequest list;
    list.save = false;
    list.defaultExtension = u"*.bak";
    list.initialName = u"exeList.bak";
    list.flags = OFN_CREATEPROMPT | OFN_OVERWRITEPROMPT;
    list.filter = u"exeList Files (*.bak)|*.bak||";
    std::unique_ptr<QFileDialog> open(QtFileDialog::Build(list));
    EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open->fileMode(), QFileDialog::AnyFile); // may name a file still to be made
    EXPECT_EQ(open->nameFilters(), QStringList {QStringLiteral("exeList Files (*.bak)")});
    EXPECT_EQ(open->defaultSuffix(), QStringLiteral("bak"));

    list.flags = 0;
    std::unique_ptr<QFileDialog> mustExist(QtFileDialog::Build(list));
    EXPECT_EQ(mustExist->fileMode(), QFileDialog::ExistingFile);

    std::unique_ptr<QFileDialog> save(QtFileDialog::Build(CatalogueSave()));
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(save->testOption(QFileDialog::DontConfirmOverwrite)); // no OFN_OVERWRITEPROMPT
    EXPECT_EQ(save->nameFilters(), QStringList {QStringLiteral("[临时-Config.xml] Xml Files(*.xml)")});
    EXPECT_EQ(save->defaultSuffix(), QStringLiteral("xml"));
}

TEST(QtFileDialog, AcceptedNameGetsTheExtensionAndCancelReturnsFalse)
{
    TempDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path().string()));

    AnswerNextDialog(QString::fromStdString((dir / "mine").string()));
    wstring16 path;
    ASSERT_TRUE(RunFileDialog(CatalogueSave(), &path));
    EXPECT_EQ(WideString::ToUtf8(path), (dir / "mine.xml").string());

    AnswerNextDialog(QString());
    wstring16 untouched = u"keep";
    EXPECT_FALSE(RunFileDialog(CatalogueSave(), &untouched));
    EXPECT_EQ(untouched, u"keep");

    // An open dialog that needs an existing file gets one.
    std::ofstream(dir / "exeList.bak") << "x";
    FileDialogRequest open;
    open.defaultExtension = u"*.bak";
    open.initialName = u"exeList.bak";
    open.filter = u"exeList Files (*.bak)|*.bak||";
    AnswerNextDialog(QString::fromStdString((dir / "exeList.bak").string()));
    ASSERT_TRUE(RunFileDialog(open, &path));
    EXPECT_EQ(WideString::ToUtf8(path), (dir / "exeList.bak").string());
    QDir::setCurrent(previous);
}

TEST(QtFileDialog, WorkerGetsTheDialogFromTheUiThread)
{
    TempDir dir;
    wstring16 path;
    std::atomic<bool> done {false};
    bool accepted = false;
    std::thread worker([&] {
        accepted = RunFileDialog(CatalogueSave(), &path);
        done = true;
    });
    AnswerNextDialog(QString::fromStdString((dir / "w").string()));
    for (int i = 0; i < 20000 && !done.load(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(WideString::ToUtf8(path), (dir / "w.xml").string());
}

} // namespace
