#include "platform/gsf_support.h"

#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <mutex>

#include "platform/file_names.h"

namespace tabrovin::gsf {
namespace {

// libgsf reports damaged containers through GLib's log as well as through
// its return values; only the return values are acted on.
void dropMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

void ensureStarted() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char* domain :
             {"libgsf", "libgsf:msole", "libgsf:zip", "libgsf:open_pkg", "libgsf:tar"})
            g_log_set_handler(domain,
                              static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL |
                                                          G_LOG_FLAG_RECURSION),
                              dropMessage, nullptr);
        gsf_init();
    });
}

GsfInput* openInput(const std::filesystem::path& path, std::string& why) {
    ensureStarted();
    std::FILE* f = openRegularFile(path, why);
    if (!f) return nullptr;
    GsfInput* input = gsf_input_stdio_new_FILE(glibFileName(path).c_str(), f, FALSE);
    if (!input) {
        std::fclose(f);  // libgsf owns the file only once it succeeds
        why = "无法打开文件读取";
    }
    return input;
}

}  // namespace tabrovin::gsf
