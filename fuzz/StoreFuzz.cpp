// The file store (the registry away from Windows): any content in its two
// files, then any sequence of key openings, value writes and reads, through
// store objects made afresh as the program makes them per command.
//   - never a crash; openKey refuses exactly the paths no section can hold;
//   - a value reads back exactly as written, whatever its blanks and quotes;
//   - a refused write says "Failed to set data for '<name>'" and changes nothing;
//   - an opened key exists from then on.

#include "FuzzSupport.h"

#include "platform/Error.h"
#include "platform/Store.h"

#include "FuzzInput.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

namespace {

using plimbury::Root;
using plimbury::fuzz::failure;
using plimbury::fuzz::fold;
using plimbury::fuzz::trimLeft;

bool storablePath(std::string_view path)
{
    return !trimLeft(path).empty() && path.find_first_of("]\r\n") == std::string_view::npos;
}

bool storableValue(std::string_view name, std::string_view value)
{
    const std::string_view written = trimLeft(name);
    return name.find_first_of("\r\n") == std::string_view::npos && value.find_first_of("\r\n") == std::string_view::npos
        && written.find('=') == std::string_view::npos && !written.starts_with('[');
}

std::string pickPath(plimbury::fuzz::FuzzInput& in)
{
    static const char* const paths[] = {
        "software\\lumavuetest", "SOFTWARE\\LumaVueTest", "Control Panel\\Desktop", " x ", "\t", "a]", "",
    };
    if (in.flag())
        return paths[in.inRange(0, static_cast<int>(std::size(paths)) - 1)];
    return in.text(16);
}

std::string pickName(plimbury::fuzz::FuzzInput& in)
{
    static const char* const names[] = {
        "settime_selected", "SETTIME_SELECTED", "Wallpaper", "SCRNSAVE.EXE", "", " n", "=", "[n",
    };
    if (in.flag())
        return names[in.inRange(0, static_cast<int>(std::size(names)) - 1)];
    return in.text(16);
}

std::string pickValue(plimbury::fuzz::FuzzInput& in)
{
    static const char* const values[] = {
        "", " ", "\"\"", "\"quoted\"", "'x'", "trailing ", " leading", "\x1A", "\"", "a\"b\"", "C:\\p q\\r.jpg",
    };
    if (in.flag())
        return values[in.inRange(0, static_cast<int>(std::size(values)) - 1)];
    return in.text(48);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path dir = plimbury::fuzz::freshScratch("store");
    plimbury::fuzz::FuzzInput in(data, size);
    if (in.flag())
        plimbury::fuzz::writeAll(dir / "HKEY_LOCAL_MACHINE.ini", in.text(1024));
    if (in.flag())
        plimbury::fuzz::writeAll(dir / "HKEY_CURRENT_USER.ini", in.text(1024));

    // (root, folded path) -> the path as opened; (root, folded path, folded
    // name) -> the names as written and the value.
    struct Written {
        std::string path;
        std::string name;
        std::string value;
    };
    std::map<std::tuple<int, std::string>, std::string> opened;
    std::map<std::tuple<int, std::string, std::string>, Written> values;

    while (in.remaining() > 0) {
        const auto store = plimbury::makeFileStore(dir.string());
        const Root root = in.flag() ? Root::LocalMachine : Root::CurrentUser;
        const std::string path = pickPath(in);
        const auto key = store->openKey(root, path);
        if (!key) {
            if (storablePath(path))
                failure("openKey refused a storable path", path);
            continue;
        }
        if (!storablePath(path))
            failure("openKey accepted a path no section can hold", path);
        opened[{static_cast<int>(root), fold(path)}] = path;

        const int ops = in.inRange(1, 4);
        for (int i = 0; i < ops; ++i) {
            const std::string name = pickName(in);
            const auto known = values.find({static_cast<int>(root), fold(path), fold(name)});
            if (in.flag()) {
                const std::string value = pickValue(in);
                try {
                    key->write(name, value);
                    if (!storableValue(name, value))
                        failure("write accepted a value it cannot store", name + "=" + value);
                    values[{static_cast<int>(root), fold(path), fold(name)}] = Written{path, name, value};
                } catch (const plimbury::Error& e) {
                    if (storableValue(name, value))
                        failure("write refused a storable value", name + "=" + value);
                    // what() is a C string: a name with a NUL byte shows up to it.
                    std::string message = "Failed to set data for '" + name + "'";
                    message.resize(std::min(message.size(), message.find('\0')));
                    if (e.what() != message)
                        failure("wrong refusal text", e.what());
                    const std::string now = key->read(name);
                    if (known != values.end() && now != known->second.value)
                        failure("a refused write changed the value", name);
                }
            } else if (known != values.end() && key->read(name) != known->second.value) {
                failure("value differs from the last write", path + "/" + name);
            }
        }
    }

    // Everything again through a fresh store, as the next start would see it.
    const auto store = plimbury::makeFileStore(dir.string());
    for (const auto& [k, path] : opened) {
        const Root root = std::get<0>(k) == 0 ? Root::LocalMachine : Root::CurrentUser;
        if (!store->keyExists(root, path))
            failure("an opened key is gone", path);
    }
    for (const auto& [k, w] : values) {
        const Root root = std::get<0>(k) == 0 ? Root::LocalMachine : Root::CurrentUser;
        const auto key = store->openKey(root, w.path);
        if (!key || key->read(w.name) != w.value)
            failure("a value did not survive", w.path + "/" + w.name + "=" + w.value);
    }
    return 0;
}
