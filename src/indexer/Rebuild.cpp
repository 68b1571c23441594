#include "indexer/Rebuild.h"

#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "store/IndexStore.h"
#include "store/RecordSet.h"

namespace trovander {

Rebuild::Rebuild(IndexStore& store, DriveProbe& drives, FolderReader& folders, std::function<QDateTime()> now)
    : probe_(drives), builder_(store, folders, std::move(now)) {}

Rebuild::Outcome Rebuild::run(RebuildReport& report) {
    drives_.clear();
    for (const std::string& drive : probe_.candidates()) {
        report.yield();
        // Ending during the yield: nothing has been changed yet.
        if (report.stopRequested()) return Outcome::Stopped;
        bool valid = false;
        try {
            valid = probe_.validDrive(drive);
        } catch (...) {
            // A probe that fails in any way leaves the drive out.
        }
        if (valid) drives_.push_back(drive);
    }
    report.walkBegins();
    builder_.scanDrives(drives_, report);
    return builder_.stopped() ? Outcome::Stopped : Outcome::Done;
}

IndexAge indexAge(IndexStore& store, const QDateTime& now) {
    return judgeIndexAge(store.selectStamps(), now);
}

}  // namespace trovander
