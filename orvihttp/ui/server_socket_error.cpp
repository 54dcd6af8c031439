#include "orvihttp/ui/server_socket_error.h"

#include "desktop/message_box.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/http/listener.h"

void TellServerSocketError() {
  ShowMessageBox(kServerSocketErrorText, kProductName, MessageIcon::Warning);
}

bool StartListenerOrTellUser(Listener& listener) {
  if (listener.Start() == ListenerStart::Listening) return true;
  TellServerSocketError();
  return false;
}
