// Replaced by the toolkit's sources.
namespace DuiLib {
int ToolkitVersion() { return 1; }
}  // namespace DuiLib
