// Replaced by the windows.
namespace trovander { int uiPlaceholder = 0; }
