// The bundle draws with cairo, which brings pixman. Pixman sets up its
// implementations when it is loaded and keeps them in static storage for the
// life of the process; a library unloaded with the bundle would leave them
// behind unreachable, and the leak checker would blame every test that
// unloads the bundle. Real hosts have their toolkit's copy loaded anyway:
// the test host keeps one loaded the same way.
#include <pixman.h>

namespace
{
// Volatile: the call, and with it the reference to the library, stays.
volatile const int pixmanVersion = pixman_version();
} // namespace
