// The start window on the real widgets: the check on loading, the stale-index message, the rebuild with its
// progress, one rebuild at a time, Continue, Exit and the close box, and failures of the store.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <set>

#include "WindowSet.h"
#include "frmMain.h"
#include "frmStart.h"
#include "platform/FolderReader.h"
#include "platform/ProgramEnd.h"
#include "platform/RebuildLock.h"
#include "support/Fixtures.h"
#include "support/StartFakes.h"
#include "support/UiFakes.h"

using namespace trovander;
using namespace trovander::testing;

namespace {

const QString kDesignCaption =
    QStringLiteral("Your database may be out-dated you should scan your pc once a day");
const QString kStaleText =
    QStringLiteral("You scanned database is one or more week(s) older. So you must scan your computer");

// A temporary Main.mdb, two temporary trees as the drives, a fixed clock, a counted yield, and the windows.
struct Rig {
    TempIndex index;
    TempTree driveA, driveB;
    ListDriveProbe probe{{}};
    TestServices fixture{index.store()};
    Services& services = fixture.services;
    int& yields = fixture.yields;
    std::function<void(int)> onYield;  // given the yield's number, from 1
    std::unique_ptr<Windows> windows;

    // What the message box showed, each time it came up.
    struct Shown {
        QString text, title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        bool startVisible;
    };
    std::vector<Shown> messages;
    // Label1 as each yield found it, and whether Continue was visible then.
    std::vector<QString> labels;
    bool continueSeenDuringRebuild = false;
    bool startHiddenDuringRebuild = false;

    Rig() {
        driveA.file("a1.txt", "x");
        driveA.file("sub/a2.txt", "x");
        driveB.file("b1.txt", "x");
        probe.setDrives({driveA.root(), driveB.root()});
        services.drives = &probe;
        services.now = [] { return localAt(2024, 3, 20, 12, 0, 0); };
        services.yield = [this] {
            ++yields;
            if (start().rebuilding()) {
                labels.push_back(start().Label1->text());
                if (start().cmdStart->isVisible()) continueSeenDuringRebuild = true;
                if (!start().isVisible()) startHiddenDuringRebuild = true;
            }
            if (onYield) onYield(yields);
            QCoreApplication::processEvents();
        };
        windows = std::make_unique<Windows>(services);
        start().runMessageBox = [this](QMessageBox& box) {
            messages.push_back(
                {box.text(), box.windowTitle(), box.icon(), box.standardButtons(), start().isVisible()});
        };
    }
    frmStart& start() { return windows->start(); }

    // Every FileName in the index, sorted.
    QStringList names() {
        QStringList out;
        for (const auto& [path, name, type] : index.records()) out << QString::fromStdString(name);
        out.sort();
        return out;
    }
};

}  // namespace

class TestStart : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();
    void checkOnLoad_data();
    void checkOnLoad();
    void realMessageBoxIsModalAndAnswered();
    void unreadableStampWaitsForScan();
    void secondScanStartsNothing_data();
    void secondScanStartsNothing();
    void drivesThatCannotBeOpenedAreLeftOut_data();
    void drivesThatCannotBeOpenedAreLeftOut();
    void continueSelectsWholePresetText();
    void endingDuringRebuild_data();
    void endingDuringRebuild();
    void storeFailures_data();
    void storeFailures();
    void keyboardGoesOnByContinue_data();
    void keyboardGoesOnByContinue();
    void enterWithoutContinueDoesNothing();
    void exitByItsOwnKey();
    void progressCountsAndTimes();
    void progressText_data();
    void progressText();
    void anotherCopyIsRebuilding();

  private:
    std::unique_ptr<ProgramEnd> programEnd;
    std::unique_ptr<Rig> rig;
    std::vector<int> endStatuses;
};

void TestStart::init() {
    endStatuses.clear();
    programEnd = std::make_unique<ProgramEnd>([this](int status) { endStatuses.push_back(status); });
    rig = std::make_unique<Rig>();
    rig->services.end = programEnd.get();
}

void TestStart::cleanup() {
    rig.reset();
    programEnd.reset();
}

void TestStart::checkOnLoad_data() {
    QTest::addColumn<QStringList>("stamps");  // in the order written
    QTest::addColumn<bool>("rebuilds");       // the message, then a rebuild
    QTest::addColumn<bool>("continues");      // Continue visible afterwards

    QTest::newRow("never built") << QStringList{} << true << true;
    QTest::newRow("today") << QStringList{"2024-03-20T08:00:00"} << false << true;
    QTest::newRow("6 days, late in the day") << QStringList{"2024-03-14T23:59:59"} << false << true;
    QTest::newRow("7 days, just before midnight") << QStringList{"2024-03-13T23:59:59"} << true << true;
    QTest::newRow("7 days, just after midnight") << QStringList{"2024-03-13T00:00:01"} << true << true;
    QTest::newRow("a year old") << QStringList{"2023-03-20T12:00:00"} << true << true;
    QTest::newRow("old stamps, the newest today")
        << QStringList{"2023-01-01T10:00:00", "2024-01-01T10:00:00", "2024-03-20T07:00:00"} << false << true;
    QTest::newRow("a stamp after today") << QStringList{"2024-03-25T10:00:00"} << false << true;
    QTest::newRow("newest stamp not a date")
        << QStringList{"2024-03-20T07:00:00", "Mittwoch"} << false << false;
}

void TestStart::checkOnLoad() {
    QFETCH(QStringList, stamps);
    QFETCH(bool, rebuilds);
    QFETCH(bool, continues);
    for (const QString& s : stamps) rig->index.store().insertStamp(s.toStdString());
    frmStart& start = rig->start();
    QCOMPARE(start.Label1->text(), kDesignCaption);

    start.show();

    QVERIFY(start.isVisible());
    QCOMPARE(start.cmdStart->isVisible(), continues);
    QVERIFY(start.cmdScan->isVisible());
    QVERIFY(start.cmdExit->isVisible());
    QVERIFY(!start.rebuilding());
    const std::vector<std::string> stampsAfter = rig->index.stamps();
    if (!rebuilds) {
        QCOMPARE(rig->messages.size(), size_t{0});
        QCOMPARE(start.Label1->text(), kDesignCaption);
        QCOMPARE(rig->probe.probes, 0);
        QCOMPARE(stampsAfter.size(), size_t(stamps.size()));
        QVERIFY(rig->index.records().empty());
        return;
    }
    QCOMPARE(rig->messages.size(), size_t{1});
    const Rig::Shown& m = rig->messages.front();
    QCOMPARE(m.text, kStaleText);
    QCOMPARE(m.title, QStringLiteral("Scan your PC once"));
    QCOMPARE(m.icon, QMessageBox::Warning);
    QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY2(!m.startVisible, "the message comes before the window");

    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
    QCOMPARE(rig->names(), (QStringList{"a1.txt", "a2.txt", "b1.txt", "sub"}));
    // The new stamp is the clock's, newest first.
    QCOMPARE(stampsAfter.size(), size_t(stamps.size() + 1));
    QCOMPARE(QString::fromStdString(stampsAfter.front()), QStringLiteral("2024-03-20T12:00:00"));
    // The progress was on show: the window was up, Continue hidden, each drive named in turn.
    QVERIFY(!rig->startHiddenDuringRebuild);
    QVERIFY(!rig->continueSeenDuringRebuild);
    const QString scanningA =
        "Scanning " + QString::fromStdString(rig->driveA.root()) + " drive. please wait...";
    const QString scanningB =
        "Scanning " + QString::fromStdString(rig->driveB.root()) + " drive. please wait...";
    const auto seen = [&](const QString& t) {
        return std::find(rig->labels.begin(), rig->labels.end(), t) != rig->labels.end();
    };
    QVERIFY(seen(scanningA));
    QVERIFY(seen(scanningB));
    QVERIFY(std::find(rig->labels.begin(), rig->labels.end(), scanningA) <
            std::find(rig->labels.begin(), rig->labels.end(), scanningB));
    // One yield per drive probed before the walk starts.
    QCOMPARE(rig->probe.probes, 2);
}

void TestStart::realMessageBoxIsModalAndAnswered() {
    frmStart& start = rig->start();
    start.runMessageBox = [](QMessageBox& box) { box.exec(); };
    QString seenText;
    bool seenModal = false;
    // Answered with Enter once the box is up, as a user would.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seenText = box->text();
        seenModal = box->isModal();
        QTest::keyClick(box, Qt::Key_Return);
    });
    start.show();
    QCOMPARE(seenText, kStaleText);
    QVERIFY(seenModal);
    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
    QVERIFY(start.cmdStart->isVisible());
}

void TestStart::unreadableStampWaitsForScan() {
    rig->index.store().insertStamp("13/03/2024 kl. 10");
    frmStart& start = rig->start();
    start.show();
    QVERIFY(!start.cmdStart->isVisible());
    QCOMPARE(rig->probe.probes, 0);

    QTest::mouseClick(start.cmdScan, Qt::LeftButton);

    QCOMPARE(rig->messages.size(), size_t{0});
    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
    QVERIFY(start.cmdStart->isVisible());
    QCOMPARE(rig->index.stamps().size(), size_t{2});
}

void TestStart::secondScanStartsNothing_data() {
    QTest::addColumn<int>("clickAtYield");
    QTest::addColumn<bool>("byCheck");  // the rebuild the check starts, or one started by Scan

    QTest::newRow("while the drives are probed") << 1 << false;
    QTest::newRow("while a drive is walked") << 4 << false;
    QTest::newRow("during the rebuild the check started") << 3 << true;
}

void TestStart::secondScanStartsNothing() {
    QFETCH(int, clickAtYield);
    QFETCH(bool, byCheck);
    if (!byCheck) rig->index.store().insertStamp("2024-03-20T08:00:00");
    frmStart& start = rig->start();
    int clicks = 0;
    rig->onYield = [&](int n) {
        if (n != clickAtYield) return;
        ++clicks;
        QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    };
    start.show();
    if (!byCheck) QTest::mouseClick(start.cmdScan, Qt::LeftButton);

    QCOMPARE(clicks, 1);
    QCOMPARE(rig->probe.probes, 2);
    QCOMPARE(rig->names(), (QStringList{"a1.txt", "a2.txt", "b1.txt", "sub"}));
    QCOMPARE(rig->index.stamps().size(), size_t{1} + (byCheck ? 0 : 1));
    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
    QVERIFY(start.cmdStart->isVisible());

    // Once the rebuild is over, Scan works again.
    rig->onYield = nullptr;
    QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    QCOMPARE(rig->probe.probes, 4);
}

void TestStart::drivesThatCannotBeOpenedAreLeftOut_data() {
    QTest::addColumn<bool>("refusedByProbe");  // else: the probe passes it, but it is gone before its walk
    QTest::newRow("refused by the probe") << true;
    QTest::newRow("gone before its walk") << false;
}

void TestStart::drivesThatCannotBeOpenedAreLeftOut() {
    QFETCH(bool, refusedByProbe);
    const std::string gone = rig->driveA.path("gone");
    ListDriveProbe probe({rig->driveB.root(), gone, rig->driveA.root()},
                         refusedByProbe ? std::set<std::string>{gone} : std::set<std::string>{});
    rig->services.drives = &probe;
    rig->start().show();

    const std::vector<std::string>& drives = rig->start().rebuild().drives();
    if (refusedByProbe)
        QCOMPARE(drives, (std::vector<std::string>{rig->driveB.root(), rig->driveA.root()}));
    else
        QCOMPARE(drives.size(), size_t{3});
    QCOMPARE(probe.probes, 3);
    if (refusedByProbe) {
        QCOMPARE(rig->names(), (QStringList{"a1.txt", "a2.txt", "b1.txt", "sub"}));
        QCOMPARE(rig->start().Label1->text(), QStringLiteral("Done."));
        QVERIFY(rig->start().cmdStart->isVisible());
        return;
    }
    // A drive that went away between the probe and its walk: the rebuild says which, never "Done.", and
    // the index stays as it was (empty here), with no stamp.
    QVERIFY(rig->names().isEmpty());
    QCOMPARE(rig->index.stamps().size(), size_t(0));
    QVERIFY2(rig->start().Label1->text().contains(QString::fromStdString(gone)),
             qPrintable(rig->start().Label1->text()));
    QVERIFY(!rig->start().cmdStart->isVisible());
}

void TestStart::continueSelectsWholePresetText() {
    rig->index.store().insertStamp("2024-03-19T08:00:00");
    frmStart& start = rig->start();
    start.show();
    QVERIFY(start.cmdStart->isVisible());
    QVERIFY(!rig->windows->isLoadedMain());

    QTest::mouseClick(start.cmdStart, Qt::LeftButton);

    QVERIFY(!start.isVisible());
    frmMain& search = rig->windows->main();
    QVERIFY(search.isVisible());
    QCOMPARE(search.txtSearch->text(), QStringLiteral(".exe"));
    QCOMPARE(search.txtSearch->selectedText(), QStringLiteral(".exe"));
    QCOMPARE(search.txtSearch->selectionStart(), 0);
    // The first keystroke replaces the preset text.
    QTest::keyClicks(search.txtSearch, "q");
    QCOMPARE(search.txtSearch->text(), QStringLiteral("q"));
    QVERIFY(endStatuses.empty());
}

void TestStart::endingDuringRebuild_data() {
    QTest::addColumn<QString>("how");  // "exit" or "close"
    QTest::addColumn<int>("atYield");  // 0: when idle
    QTest::newRow("Exit when idle") << "exit" << 0;
    QTest::newRow("Exit while probing") << "exit" << 1;
    QTest::newRow("Exit after the first folder") << "exit" << 3;
    QTest::newRow("close box after the first folder") << "close" << 3;
    QTest::newRow("close box while probing") << "close" << 2;
}

void TestStart::endingDuringRebuild() {
    QFETCH(QString, how);
    QFETCH(int, atYield);
    frmStart& start = rig->start();
    const auto end = [&] {
        if (how == "exit")
            QTest::mouseClick(start.cmdExit, Qt::LeftButton);
        else
            start.close();
    };
    if (atYield == 0) rig->index.store().insertStamp("2024-03-20T08:00:00");
    rig->onYield = [&](int n) {
        if (n == atYield) end();
    };
    start.show();
    if (atYield == 0) {
        end();
        QCOMPARE(endStatuses, std::vector<int>{0});
        return;
    }

    QCOMPARE(endStatuses, std::vector<int>{0});
    QVERIFY(!start.rebuilding());
    // Nothing more ran against the window: no "Done.", no Continue, no stamp.
    QVERIFY(start.Label1->text() != QStringLiteral("Done."));
    QVERIFY(!start.cmdStart->isVisible());
    // The rebuild that was cut short is dropped: another connection sees the index as it was before it.
    auto other = IndexStore::open(rig->index.path());
    QCOMPARE(int(other->selectStamps().rowCount()), 0);
    QCOMPARE(int(testing::searchRows(*other, "").size()), 0);
    QVERIFY(!rig->index.store().rebuilding());
}

void TestStart::storeFailures_data() {
    QTest::addColumn<QString>("drop");      // the table taken away before the window loads
    QTest::addColumn<bool>("stamped");      // a fresh stamp exists, so only Scan rebuilds
    QTest::addColumn<QString>("loadText");  // Label1 after loading starts with this
    QTest::addColumn<QString>("scanText");  // Label1 after a Scan starts with this

    QTest::newRow("files table gone, the check rebuilds")
        << "tblEntries" << false << "The index could not be rebuilt: "
        << "The index could not be rebuilt: ";
    QTest::newRow("files table gone, Scan rebuilds")
        << "tblEntries" << true << QString(kDesignCaption) << "The index could not be rebuilt: ";
    QTest::newRow("stamp table gone") << "tblDated" << false << "The index could not be read: "
                                      << "The index could not be rebuilt: ";
}

void TestStart::storeFailures() {
    QFETCH(QString, drop);
    QFETCH(bool, stamped);
    QFETCH(QString, loadText);
    QFETCH(QString, scanText);
    if (stamped) rig->index.store().insertStamp("2024-03-20T08:00:00");
    rig->index.store().dropTable(drop == "tblEntries" ? IndexStore::Table::Entries
                                                      : IndexStore::Table::Stamps);
    frmStart& start = rig->start();

    start.show();
    QVERIFY2(start.Label1->text().startsWith(loadText), qPrintable(start.Label1->text()));
    QCOMPARE(start.cmdStart->isVisible(), stamped);

    QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    QVERIFY2(start.Label1->text().startsWith(scanText), qPrintable(start.Label1->text()));
    QVERIFY(start.Label1->text().contains(QStringLiteral("Main.mdb")));
    // The advice is readable whole: set small enough to fit the label, the full path in its tool tip.
    const QRect needed = QFontMetrics(start.Label1->font())
                             .boundingRect(QRect(0, 0, start.Label1->width(), 1 << 20), Qt::TextWordWrap,
                                           start.Label1->text());
    QVERIFY(needed.height() <= start.Label1->height());
    QVERIFY(start.Label1->toolTip().contains(QString::fromStdString(rig->index.path())));
    QVERIFY(!start.cmdStart->isVisible());
    QVERIFY(!start.rebuilding());
    QVERIFY(endStatuses.empty());
}

// After a rebuild or a fresh check the keyboard is on Continue; Enter goes on wherever the focus is.
void TestStart::keyboardGoesOnByContinue_data() {
    QTest::addColumn<QString>(
        "how");  // "check": the check rebuilds; "fresh": no rebuild; "scan": Scan clicked
    QTest::addColumn<QString>("focus");  // where the user moves the focus before Enter; "" leaves it
    QTest::addColumn<int>("key");
    QTest::newRow("after the check's rebuild") << "check"
                                               << "" << int(Qt::Key_Return);
    QTest::newRow("fresh index") << "fresh"
                                 << "" << int(Qt::Key_Return);
    QTest::newRow("after Scan") << "scan"
                                << "" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << "check"
                                  << "" << int(Qt::Key_Enter);
    QTest::newRow("Enter on Exit") << "check"
                                   << "cmdExit" << int(Qt::Key_Return);
    QTest::newRow("Enter on Scan") << "fresh"
                                   << "cmdScan" << int(Qt::Key_Return);
}

void TestStart::keyboardGoesOnByContinue() {
    QFETCH(QString, how);
    QFETCH(QString, focus);
    QFETCH(int, key);
    if (how != "check") rig->index.store().insertStamp("2024-03-20T08:00:00");
    frmStart& start = rig->start();
    start.show();
    QVERIFY(QTest::qWaitForWindowActive(&start));
    if (how == "scan") QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    QVERIFY(start.cmdStart->isVisible());
    QCOMPARE(QApplication::focusWidget(), start.cmdStart);
    if (!focus.isEmpty()) {
        auto* target = start.findChild<QWidget*>(focus);
        target->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), target);
    }

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

    QVERIFY(endStatuses.empty());
    QVERIFY(!start.isVisible());
    QVERIFY(rig->windows->isLoadedMain());
    QVERIFY(rig->windows->main().isVisible());
    QCOMPARE(rig->windows->main().txtSearch->selectedText(), QStringLiteral(".exe"));
    // One Continue: no second rebuild or stamp came from the key.
    QCOMPARE(rig->index.stamps().size(), size_t(how == "fresh" ? 1 : how == "scan" ? 2 : 1));
}

void TestStart::enterWithoutContinueDoesNothing() {
    // A newest stamp that is no date: the check ends and Continue stays hidden.
    rig->index.store().insertStamp("Mittwoch");
    frmStart& start = rig->start();
    start.show();
    QVERIFY(QTest::qWaitForWindowActive(&start));
    QVERIFY(!start.cmdStart->isVisible());
    for (QWidget* target : {static_cast<QWidget*>(start.cmdExit), static_cast<QWidget*>(start.cmdScan)}) {
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    }
    QVERIFY(endStatuses.empty());
    QVERIFY(start.isVisible());
    QVERIFY(!rig->windows->isLoadedMain());
    QCOMPARE(rig->probe.probes, 0);
}

void TestStart::exitByItsOwnKey() {
    rig->index.store().insertStamp("2024-03-20T08:00:00");
    frmStart& start = rig->start();
    start.show();
    QVERIFY(QTest::qWaitForWindowActive(&start));
    start.cmdExit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(start.cmdExit, Qt::Key_Space);
    QCOMPARE(endStatuses, std::vector<int>{0});
}

// The count and the time are drawn at most every 100 ms by the window's clock, and the last ones stay.
void TestStart::progressCountsAndTimes() {
    constexpr int kFolders = 60;
    for (int i = 0; i < kFolders; ++i) rig->driveA.file("many/f" + std::to_string(i) + "/x.txt", "x");
    int64_t clockMs = 0;
    int clockReads = 0;
    frmStart& start = rig->start();
    // Every read of the clock is 30 ms later: a draw is due every fourth folder.
    start.setProgressClock([&] {
        ++clockReads;
        return clockMs += 30;
    });
    QStringList drawn;
    rig->onYield = [&](int) {
        if (start.rebuilding() && start.lblProgress->isVisible() &&
            (drawn.isEmpty() || drawn.back() != start.lblProgress->text()))
            drawn << start.lblProgress->text();
    };
    QVERIFY(!start.lblProgress->isVisible());
    start.show();

    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
    QVERIFY(start.lblProgress->isVisible());
    const uint64_t records = start.rebuild().counts().records;
    QCOMPARE(records, uint64_t(4 + 1 + 2 * kFolders));
    QVERIFY2(
        start.lblProgress->text().startsWith(QLocale().toString(qulonglong(records)) + " entries so far\n"),
        qPrintable(start.lblProgress->text()));
    QVERIFY(start.lblProgress->text().endsWith(" elapsed"));
    // Folders walked: the roots, many, and its subfolders. Drawn during the walk, at most one in four.
    const int folders = 2 + 2 + kFolders;
    QVERIFY2(drawn.size() >= 3, qPrintable(drawn.join(" | ")));
    QVERIFY2(drawn.size() <= folders / 3 + 2, qPrintable(QString::number(drawn.size())));
    QVERIFY(clockReads >= folders);
}

void TestStart::progressText_data() {
    QTest::addColumn<qulonglong>("records");
    QTest::addColumn<int>("elapsedMs");
    QTest::addColumn<QString>("time");
    QTest::newRow("start") << 0ULL << 0 << "0:00";
    QTest::newRow("seconds") << 12ULL << 7900 << "0:07";
    QTest::newRow("minutes") << 1234567ULL << (12 * 60 + 5) * 1000 << "12:05";
    QTest::newRow("hours") << 99999999ULL << (3600 * 2 + 60 * 3 + 4) * 1000 << "2:03:04";
}

void TestStart::progressText() {
    QFETCH(qulonglong, records);
    QFETCH(int, elapsedMs);
    QFETCH(QString, time);
    int64_t now = 1000;
    RebuildProgress progress([&] { return now; });
    progress.start();
    now += elapsedMs;
    QCOMPARE(progress.text(records), QLocale().toString(records) + " entries so far\n" + time + " elapsed");
}

// A second copy of the program rebuilding the same file: Scan is refused at once, says so, and the index
// stays as it was.
void TestStart::anotherCopyIsRebuilding() {
    rig->index.store().insertStamp("2024-03-20T08:00:00");
    const auto before = rig->index.records();
    RebuildLock::Attempt other = RebuildLock::tryAcquire(rig->index.path());
    QVERIFY(other.lock);
    frmStart& start = rig->start();
    start.show();
    QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    QVERIFY2(start.Label1->text().startsWith(QStringLiteral(
                 "The index could not be rebuilt: Another copy of Trovander is rebuilding the index database "
                 "Main.mdb")),
             qPrintable(start.Label1->text()));
    QCOMPARE(rig->index.stamps().size(), size_t(1));
    QVERIFY(rig->index.records() == before);
    other.lock.reset();
    QTest::mouseClick(start.cmdScan, Qt::LeftButton);
    QCOMPARE(start.Label1->text(), QStringLiteral("Done."));
}

QTEST_MAIN(TestStart)
#include "test_start.moc"
