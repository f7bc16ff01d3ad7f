#include "platform/gsf_support.h"

#include <gsf/gsf-utils.h>

#include <mutex>

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

}  // namespace tabrovin::gsf
