#include "platform/DriveProbe.h"

namespace trovander {

namespace {
class ListDriveProbe final : public DriveProbe {
  public:
    explicit ListDriveProbe(std::vector<std::string> roots) : roots_(std::move(roots)) {}
    std::vector<std::string> candidates() override { return roots_; }
    bool validDrive(const std::string&) override { return true; }

  private:
    std::vector<std::string> roots_;
};
}  // namespace

std::unique_ptr<DriveProbe> makeListDriveProbe(std::vector<std::string> roots) {
    return std::make_unique<ListDriveProbe>(std::move(roots));
}

}  // namespace trovander
