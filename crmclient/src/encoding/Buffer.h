#pragma once
// Output buffers for results that may be many megabytes (whole files).

#include <cstddef>
#include <string>

namespace tessary::encoding {

// Makes `out` exactly `size` characters long, ready to be overwritten. A large
// result is fresh memory that the kernel hands out a 4 KiB page at a time, and
// those page faults cost more than the encoding itself; asking for huge pages
// first makes them a few hundred times fewer. The request is only a hint: where
// it is not available nothing changes but the speed.
void SizeForOverwrite(std::string& out, std::size_t size);

} // namespace tessary::encoding
