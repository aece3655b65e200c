// Linked into every test program: before anything runs, the update check's
// addresses are emptied (no update server) and the home page points at a
// closed loopback port, so that no test and no child process it starts
// looks up or reaches a host on the network. Tests that need a server set
// loopback addresses of their own.
#include <cstdlib>

namespace {

struct offline_addresses {
  offline_addresses() {
    ::setenv("NV_UPDATE_URL", "", 1);
    ::setenv("NV_UPDATE_FALLBACK_URL", "", 1);
    ::setenv("NV_HOME_PAGE_URL", "http://127.0.0.1:9/norvelith/", 1);
  }
};

const offline_addresses kOffline;

}  // namespace
