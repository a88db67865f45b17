// The parts of atomic replacement that do not depend on the system; the
// temporary file, flush and rename are in posix/ and win/.
#include "platform/AtomicFile.h"

namespace plimbury {

void writeFileAtomically(const std::string& path, std::string_view content)
{
    AtomicFile file(path);
    file.writeAt(0, content.data(), content.size());
    file.commit();
}

} // namespace plimbury
