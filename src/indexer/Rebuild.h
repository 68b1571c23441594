// The one rebuild use case: probe the drives, walk them, write the records, stamp; and the index's age.
// The start window, trovander-index, the benchmark and the tests all run a rebuild through this.
#pragma once

#include <QDateTime>
#include <functional>
#include <string>
#include <vector>

#include "indexer/IndexBuilder.h"
#include "indexer/Staleness.h"

namespace trovander {

class DriveProbe;
class FolderReader;
class IndexStore;

class Rebuild {
  public:
    // now gives the local date and time the stamp records.
    Rebuild(IndexStore& store, DriveProbe& drives, FolderReader& folders, std::function<QDateTime()> now);

    enum class Outcome {
        Done,     // the index was replaced and stamped
        Stopped,  // the report asked to stop (the program is ending): the index is as it was
    };
    // Probes every candidate drive (one yield before each probe; a probe that fails in any way leaves the
    // drive out), then walks the drives found, writes and stamps (IndexBuilder::scanDrives). Faults
    // come as StoreError (the store) or WalkError (a drive root that cannot be read, resources ran out);
    // the index is then as it was.
    Outcome run(RebuildReport& report);

    // The drives the last run walked, in walk order; the counts of its walk.
    const std::vector<std::string>& drives() const { return drives_; }
    const IndexBuilder::Counts& counts() const { return builder_.counts(); }

  private:
    DriveProbe& probe_;
    IndexBuilder builder_;
    std::vector<std::string> drives_;
};

// How old the index is by its newest scan stamp (statement 5), judged at now. A store that cannot be read
// throws its StoreError.
IndexAge indexAge(IndexStore& store, const QDateTime& now);

}  // namespace trovander
