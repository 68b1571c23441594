// Ending the program at once: no window handler runs. A rebuild that is running is dropped with the
// process, so the index keeps what it held before that rebuild began. One object, made by the composition
// root and handed to whoever may end the program.
#pragma once

#include <functional>

namespace trovander {

class ProgramEnd {
  public:
    // How the process leaves. The default flushes the standard streams and leaves at once with status;
    // tests give a recorder.
    using Exit = std::function<void(int status)>;
    explicit ProgramEnd(Exit exit = {});

    // Ends the process with status. Ending is set first, so whatever still runs (a test's recorder returns)
    // can see that the program is on its way out.
    void endNow(int status = 0);
    // True once endNow has been called; a running rebuild stops at its next yield.
    bool ending() const { return ending_; }

  private:
    Exit exit_;
    bool ending_ = false;
};

}  // namespace trovander
