// Windows come back as the user left them, and message boxes sit over their window. On the real widgets:
// offscreen, and under Xvfb with openbox (the ctest entry test_ui_show_wm), where a minimised window is
// restored by the window manager itself, as from a task bar.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include "ClickLabel.h"
#include "MessagePlacement.h"
#include "PictureBox.h"
#include "StartUp.h"
#include "WindowSet.h"
#include "frmMain.h"
#include "frmResult.h"
#include "frmStart.h"
#include "platform/ProgramEnd.h"
#include "support/UiFakes.h"

using namespace trovander;
using namespace trovander::testing;

namespace {
bool underWindowManager() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Shown and mapped normal, as a user would see it: not minimised in the widget nor in its native window.
bool onScreenNormal(QWidget& w) {
    return w.isVisible() && !w.isMinimized() && w.windowHandle() &&
           !(w.windowHandle()->windowStates() & Qt::WindowMinimized) && w.windowHandle()->isExposed();
}

// Runs a helper program quietly; its exit status, or -1 when it could not run.
int quietly(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit) return -1;
    p.readAll();
    return p.exitCode();
}

// What the box looked like when it came up; answered at once.
struct Seen {
    QRect geometry;
    bool shown = false;
};
void answerNextBox(Seen& seen) {
    // Owned by the application, and gone once it has answered: a timer that held itself would never go.
    auto* poll = new QTimer(QCoreApplication::instance());
    auto settled = std::make_shared<int>(0);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, settled, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || !box->windowHandle() || !box->windowHandle()->isExposed()) return;
        // A window manager places and frames a new window a moment after it is mapped: read it once settled.
        if (++*settled < 15) return;
        seen.geometry = box->geometry();
        seen.shown = true;
        poll->stop();
        poll->deleteLater();
        box->button(QMessageBox::Ok)->click();
    });
    poll->start();
}
}  // namespace

class TestUiShow : public QObject {
    Q_OBJECT

    QProcess wm_;
    QTemporaryDir wmHome_;  // where the window manager keeps its log and settings

    // The user's restore: by the window manager (a client message from outside, as a task bar sends), or
    // offscreen by the state the window system reports.
    void restoreAsUser(QWidget& w) {
        if (underWindowManager()) {
            QCOMPARE(quietly("xdotool", {"windowactivate", QString::number(w.winId())}), 0);
        } else {
            w.windowHandle()->setWindowStates(Qt::WindowNoState);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w.isMinimized(), 5000);
    }

  private Q_SLOTS:
    void initTestCase() {
        if (!underWindowManager()) return;
        if (QStandardPaths::findExecutable("openbox").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("openbox or xdotool is not installed");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.insert(variable, wmHome_.filePath(variable));
        wm_.setProcessEnvironment(env);
        wm_.start("openbox", {"--sm-disable"});
        QVERIFY(wm_.waitForStarted());
        // The window manager is up once it names the current desktop.
        QTRY_VERIFY_WITH_TIMEOUT(quietly("xdotool", {"get_desktop"}) == 0, 10000);
    }
    void cleanupTestCase() {
        if (wm_.state() != QProcess::NotRunning) {
            wm_.terminate();
            wm_.waitForFinished(3000);
        }
    }

    // Minimise by the title-bar picture, restore as the user does, go on with the program: every window it
    // shows next is on screen, normal.
    void minimisedThenRestoredComesBackNormal_data() {
        QTest::addColumn<QString>("window");  // the one minimised and restored
        QTest::addColumn<bool>("restore");    // false: left minimised when the program shows it again
        QTest::newRow("search window, restored") << "frmMain" << true;
        QTest::newRow("results window, restored") << "frmResult" << true;
        QTest::newRow("search window, left minimised") << "frmMain" << false;
    }
    void minimisedThenRestoredComesBackNormal() {
        QFETCH(QString, window);
        QFETCH(bool, restore);
        UiFixture ui;
        frmMain& main = ui.windows().main();
        frmResult& result = ui.windows().result();
        const auto search = [&] {
            main.txtSearch->setText("x");
            QTest::keyClick(main.txtSearch, Qt::Key_Return);
        };
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        if (window == "frmResult") {
            search();
            QVERIFY(QTest::qWaitForWindowExposed(&result));
        }
        BorderlessWindow& target = window == "frmMain" ? static_cast<BorderlessWindow&>(main) : result;
        PictureBox* minimise = target.findChild<PictureBox*>("MinBtn");
        QTest::mouseClick(minimise, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(target.isMinimized(), 5000);
        if (restore) {
            restoreAsUser(target);
            QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(target), 5000);
        }

        if (window == "frmMain") {
            search();  // hides the search window, shows the results
            QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(result), 5000);
            QVERIFY(!main.isVisible());
            QTest::mouseClick(result.cmdNewSearch, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(main), 5000);
        } else {
            QTest::mouseClick(result.cmdNewSearch, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(main), 5000);
            search();  // the second search shows the results window again
            QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(result), 5000);
        }
        QCOMPARE(ui.end.ends, 0);
    }

    // A hidden window whose native window still reads minimised (what a restore by the window manager and a
    // hide can leave behind) is shown normal.
    void showClearsAMinimisedNativeState() {
        UiFixture ui;
        frmMain& main = ui.windows().main();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.hide();
        main.windowHandle()->setWindowStates(Qt::WindowMinimized);
        main.show();
        QVERIFY(!main.isMinimized());
        QVERIFY(!(main.windowHandle()->windowStates() & Qt::WindowMinimized));
        QTRY_VERIFY_WITH_TIMEOUT(onScreenNormal(main), 5000);
    }

    // The box's centre is its window's centre, or the screen's when no window is up yet; never off screen.
    void messageBoxSitsOverItsWindow_data() {
        QTest::addColumn<QString>("owner");  // "result": the results window; "start": the stale-index message
                                             // before the start window is up; "none": the start-up failure
        QTest::addColumn<QPoint>("ownerAt");
        QTest::newRow("over the results window") << "result" << QPoint(90, 40);
        QTest::newRow("results window at the top-left") << "result" << QPoint(0, 0);
        QTest::newRow("stale message, no window yet") << "start" << QPoint();
        QTest::newRow("start-up failure, no window") << "none" << QPoint();
    }
    void messageBoxSitsOverItsWindow() {
        QFETCH(QString, owner);
        QFETCH(QPoint, ownerAt);
        UiFixture ui;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        Seen seen;
        QRect ownerFrame;
        answerNextBox(seen);
        if (owner == "result") {
            frmResult& result = ui.windows().result();
            result.show();
            QVERIFY(QTest::qWaitForWindowExposed(&result));
            result.move(ownerAt);
            QTRY_COMPARE_WITH_TIMEOUT(result.pos(), ownerAt, 5000);
            ownerFrame = result.frameGeometry();
            PlacedMessageBox box(QMessageBox::NoIcon, "Trovander", "2", QMessageBox::Ok, &result);
            box.setWindowModality(Qt::ApplicationModal);
            box.exec();
        } else if (owner == "start") {
            frmStart& start = ui.windows().start();
            // The rebuild that would follow is not wanted here: the program "ends" at once after the box.
            start.runMessageBox = [&ui](QMessageBox& box) {
                box.exec();
                ui.services().end->endNow();
            };
            start.show();  // an empty index: the message comes before the window
        } else {
            QTemporaryDir dir;
            QVERIFY(!openIndexOrExplain(dir.filePath("Main.mdb").toStdString()));
        }
        QVERIFY(seen.shown);
        QVERIFY2(screen.contains(seen.geometry), qPrintable(QString("%1,%2 %3x%4")
                                                                .arg(seen.geometry.x())
                                                                .arg(seen.geometry.y())
                                                                .arg(seen.geometry.width())
                                                                .arg(seen.geometry.height())));
        const QPoint expected = owner == "result" ? ownerFrame.center() : screen.center();
        const QPoint centre = seen.geometry.center();
        // The window manager's frame may shift the box by its border; the screen's top-left never.
        QVERIFY2((centre - expected).manhattanLength() <= 40,
                 qPrintable(QString("centre %1,%2, expected %3,%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(expected.x())
                                .arg(expected.y())));
    }
};

QTEST_MAIN(TestUiShow)
#include "test_ui_show.moc"
