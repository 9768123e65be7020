// Times one desktop search the way a user runs it: the main window with the
// options file of the current folder, the target and collection chosen, the
// output folder set, a click on Search, until the results window is shown
// and painted. Prints the milliseconds to the end of the search (as the
// window sees it) and to the painted results window. Run it on the offscreen platform or
// under Xvfb.
//   bench_gui_search SEQUENCE COLLECTION OUTPUT_FOLDER
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "ui/main_dialog.h"
#include "ui/ui_services.h"

namespace {

// The real services, except that the folder chooser answers at once.
class FixedFolder : public xoprex::ui::QtUiServices {
  public:
    explicit FixedFolder(QString folder) : folder_(std::move(folder)) {}
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return folder_; }
    void showError(QWidget*, const QString& message, const QString& detail) override {
        std::fprintf(stderr, "error: %s %s\n", qPrintable(message), qPrintable(detail));
        QApplication::exit(1);
    }

  private:
    QString folder_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_gui_search SEQUENCE COLLECTION OUTPUT_FOLDER\n");
        return 2;
    }
    FixedFolder services(QString::fromLocal8Bit(argv[3]));
    COprex_AppDlg dialog(nullptr, &services);
    dialog.show();
    dialog.chooseSequenceFile(QString::fromLocal8Bit(argv[1]));
    dialog.chooseCollectionFile(QString::fromLocal8Bit(argv[2]));
    dialog.findChild<QPushButton*>(QStringLiteral("outputBrowse"))->click();

    QElapsedTimer clock;
    QTimer poll;
    qint64 searchEnded = -1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (searchEnded < 0 && !dialog.searching()) {
            searchEnded = clock.elapsed();
        }
        CResultDialog* results = dialog.resultsWindow();
        if (results == nullptr || !results->isVisible()) {
            return;
        }
        poll.stop();
        // The window's first paint happens before the next timer fires.
        QTimer::singleShot(0, [&] {
            std::printf("search %lld ms, results window %lld ms\n",
                        static_cast<long long>(searchEnded),
                        static_cast<long long>(clock.elapsed()));
            QApplication::exit(0);
        });
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        dialog.findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
        poll.start(1);
    });
    return QApplication::exec();
}
