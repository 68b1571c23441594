// A folder reader that fails on chosen folder names with a chosen errno, over the real one.
#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <string>

#include "platform/FolderReader.h"

namespace trovander::testing {

class FailingFolderReader final : public FolderReader {
  public:
    enum class When { Open, List };
    // A folder with this own name fails when opened (or listed) with error.
    void failOn(const std::string& name, int error, When when = When::Open) { fail_[name] = {error, when}; }

    int openRoot(const std::string& path) override {
        const std::string name = path.substr(path.rfind('/') + 1);
        auto it = fail_.find(name);
        if (it != fail_.end() && it->second.when == When::Open) return -it->second.error;
        const int h = real_->openRoot(path);
        if (h >= 0) names_[h] = name;
        return h;
    }
    int openChild(int parent, const std::string& name) override {
        auto it = fail_.find(name);
        if (it != fail_.end() && it->second.when == When::Open) return -it->second.error;
        const int h = real_->openChild(parent, name);
        if (h >= 0) names_[h] = name;
        return h;
    }
    int list(int handle, std::vector<FolderEntry>& out) override {
        auto it = fail_.find(names_[handle]);
        if (it != fail_.end() && it->second.when == When::List) {
            out.clear();
            return it->second.error;
        }
        return real_->list(handle, out);
    }
    void close(int handle) override {
        names_.erase(handle);
        real_->close(handle);
    }
    int openParent(int handle) override { return real_->openParent(handle); }
    FolderIdentity identity(int handle) override { return real_->identity(handle); }

  private:
    struct Failure {
        int error;
        When when;
    };
    std::unique_ptr<FolderReader> real_ = makeSystemFolderReader();
    std::map<std::string, Failure> fail_;
    std::map<int, std::string> names_;
};

}  // namespace trovander::testing
