#include "foundation/winsock_startup.h"

namespace {
WinsockStartup winsock;
}  // namespace

int main() { return winsock.ok() ? 0 : 1; }
