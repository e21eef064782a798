#include "store_server.h"

#include "mime_structure.h"
#include "session.h"

bool StoreServer::Start(std::string* error) {
  EnsureMimeLibrary();
  if (!store_.Open(error)) return false;
  const StoreConfig& config = store_.Config();
  ServiceHandlers h;
  h.serve = [this](int fd) { ServeStoreConnection(&store_, fd); };
  h.trusted = [this](uint32_t address) { return IsTrustedAddress(store_.Config(), address); };
  h.maxClients = config.maxClients;
  return acceptor_.Listen(config.listenAddress, config.port, std::move(h), error);
}
