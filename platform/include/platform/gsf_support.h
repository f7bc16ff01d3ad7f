#pragma once
// The one place that starts libgsf and owns its objects, for the compound-file
// and zip readers alike.

#include <glib-object.h>
#include <gsf/gsf-input.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tabrovin::gsf {

// Starts libgsf once per process (safe from any thread) and keeps its own
// log lines (damaged-file warnings and criticals) off standard error: the
// caller reports a failure in its own words, and the user should see only that.
void ensureStarted();

// The file at `path` as libgsf input, opened by openRegularFile (so never a
// pipe or device); null with `why` in Chinese on failure.
GsfInput* openInput(const std::filesystem::path& path, std::string& why);

// Owns one GObject reference.
struct Unref {
    void operator()(void* p) const {
        if (p) g_object_unref(p);
    }
};
template <class T>
using Ptr = std::unique_ptr<T, Unref>;

}  // namespace tabrovin::gsf
