// The start window's behaviour: the staleness check on loading, the rebuild, Continue and Exit.
#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>

#include "MessagePlacement.h"
#include "WindowSet.h"
#include "platform/ProgramEnd.h"
#include "frmMain.h"
#include "frmStart.h"
#include "indexer/Staleness.h"

namespace trovander {

namespace {
const QString kStaleText =
    QStringLiteral("You scanned database is one or more week(s) older. So you must scan your computer");
const QString kStaleTitle = QStringLiteral("Scan your PC once");
const QString kDone = QStringLiteral("Done.");

// The store's text names the index by its full path; the label names it by its file name, so the advice
// that follows fits, and the full text is the label's tool tip.
QString shortText(const StoreError& e) {
    QString text = QString::fromStdString(e.what());
    if (!e.path().empty())
        text.replace(QString::fromStdString(e.path()),
                     QFileInfo(QString::fromStdString(e.path())).fileName());
    return text;
}
}  // namespace

void frmStart::showStatus(const QString& text, const QString& toolTip) {
    // A long text (a deep mount point, a store's advice) is set smaller rather than cut off. The design font
    // may be sized in points or in pixels.
    if (labelSize_ <= 0) {
        labelInPixels_ = Label1->font().pointSizeF() <= 0;
        labelSize_ = labelInPixels_ ? Label1->font().pixelSize() : Label1->font().pointSizeF();
    }
    const qreal smallest = labelInPixels_ ? /*pixels=*/11 : /*points=*/8;
    QFont font = Label1->font();
    for (qreal size = labelSize_;; size -= 1) {
        if (labelInPixels_)
            font.setPixelSize(static_cast<int>(size));
        else
            font.setPointSizeF(size);
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(0, 0, Label1->width(), 1 << 20), Qt::TextWordWrap, text);
        if (needed.height() <= Label1->height() || size <= smallest) break;
    }
    Label1->setFont(font);
    Label1->setText(text);
    Label1->setToolTip(toolTip);
}

void frmStart::Form_Load() {
    IndexAge age = IndexAge::Unreadable;
    try {
        const RecordSet stamps = services_.store->selectStamps();
        age = judgeIndexAge(stamps, services_.now ? services_.now() : QDateTime::currentDateTime());
    } catch (const StoreError& e) {
        // The check gives up here, Continue stays hidden; Scan can still rebuild. The cause is shown rather
        // than a caption that would call the index merely out of date.
        showStatus(QStringLiteral("The index could not be read: ") + shortText(e),
                   QString::fromStdString(e.what()));
        return;
    }
    // A newest stamp that is no date ends the check silently: Continue appears only after a Scan.
    if (age == IndexAge::Unreadable) return;
    if (needsRebuild(age)) {
        showStaleMessage();
        // Shown before the rebuild, so its label shows which drive is being walked.
        show();
        if (!scanAndRebuild()) return;
    }
    offerContinue();
}

void frmStart::cmdStart_Click() {
    hide();
    frmMain& search = windows_.main();
    search.txtSearch->setSelection(/*start=*/0, /*length=*/4);
    search.show();
}

void frmStart::cmdScan_Click() { scanAndRebuild(); }

void frmStart::cmdExit_Click() { EndProgramNow(); }

bool frmStart::ValidDrive(std::string& drive) {
    try {
        return driveProbe().ValidDrive(drive);
    } catch (...) {
        // A probe that fails in any way leaves the drive out.
        return false;
    }
}

IndexBuilder& frmStart::rebuild() {
    if (!builder_) {
        RebuildHooks hooks;
        hooks.yield = [this] {
            if (services_.yield) services_.yield();
        };
        hooks.setStatus = [this](const QString& text) { showStatus(text); };
        hooks.progress = [this](uint64_t records) {
            if (progress_.due()) lblProgress->setText(progress_.text(records));
        };
        hooks.now = [this] {
            return stampText(services_.now ? services_.now() : QDateTime::currentDateTime());
        };
        builder_ = std::make_unique<IndexBuilder>(*services_.store, std::move(hooks));
    }
    return *builder_;
}

DriveProbe& frmStart::driveProbe() {
    if (services_.drives) return *services_.drives;
    if (!systemProbe_) systemProbe_ = makeSystemDriveProbe();
    return *systemProbe_;
}

void frmStart::showStaleMessage() {
    PlacedMessageBox box(QMessageBox::Warning, kStaleTitle, kStaleText, QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    runMessageBox(box);
}

bool frmStart::scanAndRebuild() {
    // The yields of a running rebuild let a second click through; it must not start a rebuild inside it.
    if (rebuilding_) return false;
    rebuilding_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{rebuilding_};

    cmdStart->setVisible(false);
    IndexBuilder& builder = rebuild();
    builder.Drives.assign(1, std::string());
    const std::vector<std::string> candidates = driveProbe().candidates();
    for (builder.DriveIndex = 1; builder.DriveIndex <= static_cast<int32_t>(candidates.size());
         ++builder.DriveIndex) {
        if (services_.yield) services_.yield();
        // Exit or the close box during the yield: nothing more runs against the window.
        if (programEnding()) return false;
        std::string drive = candidates[static_cast<size_t>(builder.DriveIndex - 1)];
        if (ValidDrive(drive)) builder.Drives.push_back(drive);
    }
    progress_.start();
    lblProgress->setText(progress_.text(0));
    lblProgress->setVisible(true);
    // The last count and the whole time stay up, whichever way the rebuild ends.
    struct FinalCount {
        frmStart& window;
        IndexBuilder& builder;
        ~FinalCount() {
            if (!programEnding())
                window.lblProgress->setText(window.progress_.text(builder.counts().records));
        }
    } finalCount{*this, builder};
    try {
        builder.ScanDrives();
    } catch (const StoreError& e) {
        // Never "Done." for an index that was not replaced whole; the earlier index is still there.
        if (!programEnding())
            showStatus(QStringLiteral("The index could not be rebuilt: ") + shortText(e),
                       QString::fromStdString(e.what()));
        return false;
    } catch (const WalkError& e) {
        if (!programEnding())
            showStatus(QStringLiteral("The index could not be rebuilt: ") + QString::fromStdString(e.what()),
                       QString::fromStdString(e.what()));
        return false;
    }
    if (programEnding()) return false;
    showStatus(kDone);
    offerContinue();
    return true;
}

}  // namespace trovander
