// Compiled against one library's include path with one header: the build of a layer probe
// succeeds only when that library may include the header.
#include PROBE_HEADER
