#include "net/CookieStore.h"

#ifdef QUIPPET_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace quippet {

std::optional<std::string> secret_service_password(std::string_view application) {
#ifdef QUIPPET_HAVE_LIBSECRET
    // The schema Chromium-family browsers store their "Safe Storage" password under; the name is not
    // matched, so that the older schema of the same attribute is found as well.
    static const SecretSchema kSchema = {"chrome_libsecret_os_crypt_password_v2",
                                         SECRET_SCHEMA_DONT_MATCH_NAME,
                                         {{"application", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
                                         0,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};
    const std::string app(application);
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(&kSchema, nullptr, &error, "application", app.c_str(), nullptr);
    if (error) g_error_free(error);
    if (!password) return std::nullopt;
    std::string out(password);
    secret_password_free(password);
    return out;
#else
    (void)application;
    return std::nullopt;
#endif
}

} // namespace quippet
