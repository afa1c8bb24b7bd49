// The keyring lookup against a real Secret Service: a private session bus and a keyring daemon started for
// the test, a browser's "Safe Storage" password stored in it the way the browser stores it, then read back
// through the program's lookup. Skipped where the daemons are not installed.
#include <gtest/gtest.h>

#ifdef QUIPPET_HAVE_LIBSECRET
#include <libsecret/secret.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "net/CookieStore.h"

namespace quippet {
namespace {

bool have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

/// A session bus and an unlocked keyring of this test only; the environment is put back afterwards.
class PrivateKeyring {
public:
    bool start() {
        const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        old_bus_ = old ? old : "";
        had_bus_ = old != nullptr;
        FILE* bus = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!bus) return false;
        char line[512];
        if (!fgets(line, sizeof line, bus)) return pclose(bus), false;
        address_ = line;
        if (!address_.empty() && address_.back() == '\n') address_.pop_back();
        if (fgets(line, sizeof line, bus)) bus_pid_ = std::atoi(line);
        pclose(bus);
        if (address_.empty() || bus_pid_ <= 0) return false;
        setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);

        // Only the in-memory session collection is used, so nothing is written to any keyring file; the
        // daemon still gets a home of its own.
        char home[] = "/tmp/quippet-keyring-XXXXXX";
        if (!mkdtemp(home)) return false;
        home_ = home;
        keyring_pid_ = fork();
        if (keyring_pid_ == 0) {
            setenv("HOME", home, 1);
            setenv("XDG_DATA_HOME", home, 1);
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            execlp("gnome-keyring-daemon", "gnome-keyring-daemon", "--foreground", "--components=secrets",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        return keyring_pid_ > 0;
    }
    ~PrivateKeyring() {
        if (keyring_pid_ > 0) {
            kill(keyring_pid_, SIGTERM);
            waitpid(keyring_pid_, nullptr, 0);
        }
        if (bus_pid_ > 0) kill(bus_pid_, SIGTERM);
        if (!home_.empty()) std::system(("rm -rf '" + home_ + "'").c_str());
        if (had_bus_)
            setenv("DBUS_SESSION_BUS_ADDRESS", old_bus_.c_str(), 1);
        else
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

private:
    std::string address_, old_bus_, home_;
    bool had_bus_ = false;
    int bus_pid_ = -1;
    pid_t keyring_pid_ = -1;
};

TEST(Keyring, BrowserPasswordIsReadFromTheSecretService) {
    if (!have("dbus-daemon") || !have("gnome-keyring-daemon")) GTEST_SKIP() << "no session bus or keyring daemon";
    PrivateKeyring keyring;
    ASSERT_TRUE(keyring.start());
    static const SecretSchema kSchema = {"chrome_libsecret_os_crypt_password_v2",
                                         SECRET_SCHEMA_NONE,
                                         {{"application", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
                                         0,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};
    // The daemon needs a moment to claim its name on the bus.
    bool stored = false;
    std::string last_error;
    for (int attempt = 0; attempt < 50 && !stored; ++attempt) {
        GError* error = nullptr;
        stored = secret_password_store_sync(&kSchema, SECRET_COLLECTION_SESSION, "Chromium Safe Storage",
                                            "from-the-keyring", nullptr, &error, "application", "chromium", nullptr);
        if (error) {
            last_error = error->message;
            g_error_free(error);
        }
        if (!stored) usleep(100'000);
    }
    if (!stored) GTEST_SKIP() << "the keyring daemon did not take the secret: " << last_error;
    EXPECT_EQ(secret_service_password("chromium").value_or(""), "from-the-keyring");
    EXPECT_FALSE(secret_service_password("chrome").has_value());
}

} // namespace
} // namespace quippet
#endif
