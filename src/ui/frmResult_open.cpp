// Opening the selected result with the program its file association names.
#include "frmResult.h"

namespace trovander {

void frmResult::lstResult_DblClick() {}

void frmResult::cmdOpen_Click() {}

}  // namespace trovander
