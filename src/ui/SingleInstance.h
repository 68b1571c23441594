// One copy of the program per index: the first start listens on a local socket named after its index; a
// second start on the same index asks that copy to bring its window to the front, and goes no further.
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace trovander {

// The socket's name: derived from the index file's canonical path, so two names of the same file (a link,
// a relative path) meet, and two indexes never do; in a folder of the user's own (the runtime folder, or
// one made for it). Empty when the user has no such folder: the guard is then left out.
QString instanceKey(const std::string& indexPath);

class SingleInstance {
  public:
    enum class Outcome {
        First,          // this copy runs: it listens for later starts
        AlreadyRunning  // another copy runs on the index and was asked to come to the front
    };

    // Claims the index for this process. `front` runs in the first copy each time a later start asks.
    explicit SingleInstance(const std::string& indexPath, std::function<void()> front = bringProgramToFront);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Outcome outcome() const { return outcome_; }
    // For AlreadyRunning: whether the running copy answered that its window is in front.
    bool answered() const { return answered_; }
    const QString& key() const { return key_; }

    // Shows every window of the program that is up as a normal window, in front, the active modal one
    // (a message box) last so that it keeps the keyboard.
    static void bringProgramToFront();

  private:
    void listen();
    void serve(class QLocalSocket* socket);

    QString key_;
    std::function<void()> front_;
    std::unique_ptr<QLocalServer> server_;
    Outcome outcome_ = Outcome::First;
    bool answered_ = false;
};

}  // namespace trovander
