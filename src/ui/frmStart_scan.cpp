// The start window's behaviour: the staleness check on loading, the rebuild, Continue and Exit.
#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>

#include "MessagePlacement.h"
#include "WindowSet.h"
#include "frmMain.h"
#include "frmStart.h"
#include "indexer/Rebuild.h"
#include "platform/FileAccess.h"
#include "platform/ProgramEnd.h"

namespace trovander {

namespace {
const QString kStaleText =
    QStringLiteral("You scanned database is one or more week(s) older. So you must scan your computer");
const QString kStaleTitle = QStringLiteral("Scan your PC once");
const QString kDone = QStringLiteral("Done.");

// The engine says only that it could not open or write something; the file and its folder, asked in
// turn, say which of them is at fault. Empty when they do not tell more than the store's own text.
QString accessText(const StoreError& e) {
    if ((e.fault() != StoreFault::NotReadable && e.fault() != StoreFault::ReadOnly) || e.path().empty() ||
        !pathExists(e.path()))
        return {};
    const QString where = QStringLiteral("The index database ") + QString::fromStdString(e.path());
    if (!pathReadable(e.path()))
        return where + QStringLiteral(" cannot be read; check that you may read it.");
    if (!pathWritable(e.path()))
        return where + QStringLiteral(" can be read but not written; make it writable to scan again.");
    const QString folder = QFileInfo(QString::fromStdString(e.path())).absolutePath();
    if (!pathWritable(folder.toStdString()))
        return where + QStringLiteral(" can be read and written, but its folder ") + folder +
               QStringLiteral(
                   " cannot be written, and a scan writes beside the file; make the folder writable.");
    return {};
}

QString fullText(const StoreError& e) {
    const QString checked = accessText(e);
    return checked.isEmpty() ? QString::fromStdString(e.what()) : checked;
}

// The store's text names the index by its full path; the label names it by its file name, so the advice
// that follows fits, and the full text is the label's tool tip.
QString shortText(const StoreError& e) {
    QString text = fullText(e);
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
    const int visibleHeight = cmdScan->y() - Label1->y();
    QFont font = Label1->font();
    for (qreal size = labelSize_;; size -= 1) {
        if (labelInPixels_)
            font.setPixelSize(static_cast<int>(size));
        else
            font.setPointSizeF(size);
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(0, 0, Label1->width(), 1 << 20), Qt::TextWordWrap, text);
        // The label is centred in a box that reaches under the buttons: the text's last line must end
        // above them.
        const int bottom = (Label1->height() + needed.height() + 1) / 2;
        if (bottom <= visibleHeight || size <= smallest) break;
    }
    Label1->setFont(font);
    Label1->setText(text);
    Label1->setToolTip(toolTip);
}

void frmStart::Form_Load() {
    IndexAge age = IndexAge::Unreadable;
    try {
        age = indexAge(*services_.store, services_.now());
    } catch (const StoreError& e) {
        // The check gives up here, Continue stays hidden; Scan can still rebuild. The cause is shown rather
        // than a caption that would call the index merely out of date.
        showStatus(QStringLiteral("The index could not be read: ") + shortText(e), fullText(e));
        return;
    }
    // A newest stamp that is no date ends the check silently: Continue appears only after a Scan.
    if (age == IndexAge::Unreadable) return;
    // An index a week old is whole, only out of date: should its rebuild fail, it can still be searched.
    if (age == IndexAge::WeekOld) indexWhole_ = true;
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

void frmStart::cmdExit_Click() { services_.end->endNow(); }

namespace {
// What the window shows of a running rebuild: the drive in Label1, the count and time in lblProgress.
class StartWindowReport final : public RebuildReport {
  public:
    StartWindowReport(Services& services, RebuildProgress& progress, QLabel& count,
                      std::function<void(const QString&)> showStatus)
        : services_(services), progress_(progress), count_(count), showStatus_(std::move(showStatus)) {}

    void yield() override {
        if (services_.yield) services_.yield();
    }
    bool stopRequested() override { return services_.end->ending(); }
    void walkBegins() override {
        walking_ = true;
        progress_.start();
        count_.setText(progress_.text(0));
        count_.setVisible(true);
    }
    void status(const QString& text) override { showStatus_(text); }
    bool walking() const { return walking_; }
    void progress(uint64_t records) override {
        if (progress_.due()) count_.setText(progress_.text(records));
    }

  private:
    Services& services_;
    RebuildProgress& progress_;
    QLabel& count_;
    std::function<void(const QString&)> showStatus_;
    bool walking_ = false;
};
}  // namespace

namespace {
// Failures that say the live index itself cannot be read whole; any other leaves it as it was, since a
// rebuild replaces it whole or not at all.
bool damagesTheIndex(StoreFault fault) {
    switch (fault) {
        case StoreFault::Locked:
        case StoreFault::ReadOnly:
        case StoreFault::DiskFull:
        case StoreFault::Rebuilding:
        case StoreFault::NotReadable:  // the folder, not the file, when the index was read before
            return false;
        default:
            return true;
    }
}
}  // namespace

void frmStart::offerContinueAfterFailure(bool damaged) {
    if (damaged) indexWhole_ = false;
    if (indexWhole_) offerContinue();
}

Rebuild& frmStart::rebuild() {
    if (!rebuild_) newRebuild();
    return *rebuild_;
}

void frmStart::newRebuild() {
    rebuild_ =
        std::make_unique<Rebuild>(*services_.store, *services_.drives, *services_.folders, services_.now);
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
    // Made for each scan, over the services as they are now.
    newRebuild();
    Rebuild& rebuild = *rebuild_;
    StartWindowReport report(services_, progress_, *lblProgress,
                             [this](const QString& text) { showStatus(text); });
    // Once the walk has begun, its last count and whole time stay up, whichever way the rebuild ends.
    struct FinalCount {
        frmStart& window;
        Rebuild& rebuild;
        StartWindowReport& report;
        ~FinalCount() {
            if (report.walking() && !window.services_.end->ending())
                window.lblProgress->setText(window.progress_.text(rebuild.counts().records));
        }
    } finalCount{*this, rebuild, report};
    try {
        if (rebuild.run(report) == Rebuild::Outcome::Stopped) return false;
    } catch (const StoreError& e) {
        // Never "Done." for an index that was not replaced whole; the earlier index is still there.
        if (!services_.end->ending()) {
            showStatus(QStringLiteral("The index could not be rebuilt: ") + shortText(e), fullText(e));
            offerContinueAfterFailure(damagesTheIndex(e.fault()));
        }
        return false;
    } catch (const WalkError& e) {
        if (!services_.end->ending())
            if (!services_.end->ending()) {
                showStatus(
                    QStringLiteral("The index could not be rebuilt: ") + QString::fromStdString(e.what()),
                    QString::fromStdString(e.what()));
                offerContinueAfterFailure(/*damaged=*/false);
            }
        return false;
    }
    if (services_.end->ending()) return false;
    showStatus(kDone);
    offerContinue();
    return true;
}

}  // namespace trovander
