// Substitute host placeholder.
namespace tamu {
int Placeholder() { return 0; }
}
