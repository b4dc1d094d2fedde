#include <QApplication>

#include "interfacelanguage.h"
#include "mainwindow.h"
#include "progressdialog.h"
#include "signalwatcher.h"
#include "temporaryfolder.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Before anything that takes time: from here on, a request to end the
    // program closes the window the normal way.
    // (The end of the session or a kill, Ctrl+C in the terminal or console
    // that started it, that terminal or console closing.)
    SignalWatcher termination;

    const InterfaceLanguage language(InterfaceLanguage::Chosen());

    const QString projectPath = MainWindow::ProjectArgument(app.arguments());
    TemporaryFolder::RemoveStale();
    MainWindow window(nullptr, projectPath.isNull() ? nullptr : &projectPath);
    QObject::connect(&termination, &SignalWatcher::received, &window, [&window] {
        // A running operation is cancelled as by its Cancel button; a chooser
        // or a dialog is closed as by its close box.
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *progress = qobject_cast<ProgressDialog *>(modal))
                progress->reject();
            else
                modal->close();
        }
        // Nobody is there to answer a question about unsaved changes; the
        // autosave keeps them.
        window.closeUnasked();
    });
    window.show();
    return app.exec();
}
