// Helper for the two-process test: links dsclient32 through its import
// library (by ordinal, as the snap-ins do) and raises the counter held in
// Joe.Sales.Acme's "Quorvel:Timeout" argv[1] times, retrying when another
// process changed it between read and replace.
#include <cstdlib>
#include <string>

#include "client_layer.h"

int main(int argc, char** argv) {
  using namespace zelm::dsctest;
  if (argc != 2) return 2;
  const Api api = {
      DSCCreateContext,     DSCFreeContext,      DSCGetContextKey,      DSCSetContextKey,
      DSCInitBuffer,        DSCAllocBuffer,      DSCFreeBuffer,         DSCGetAttributeCount,
      DSCGetObjectCount,    DSCGetAttributeName, DSCGetObjectName,      DSCPutAttributeName,
      DSCPutChange,         DSCPutValue,         DSCGetValue,           DSCList,
      DSCAddObject,         DSCModifyObject,     DSCRead,               DSCReadObjectInfo,
      DSCCloseIteration,    DSCGetEffectiveRights, DSCOpenConnection,   DSCAuthenticateConnection,
      DSCRemoveObject,      DSCSetRights,        DSCGetConnectionAddress, DSCCloseConnection,
      DSCWhoAmI,            DSCSetLogin,         DSCGetErrorText};
  Layer layer(api);
  const int steps = std::atoi(argv[1]);
  for (int i = 0; i < steps; ++i) {
    for (;;) {
      int r = 0;
      std::vector<std::string> now =
          layer.ReadValues("Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Timeout", 4096, &r);
      if (r != 0 || now.size() != 1) return 3;
      std::string next = std::to_string(std::atol(now[0].c_str()) + 1);
      r = layer.ReplaceValues(now, {next}, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Timeout",
                              DSC_SYNTAX_CI_STRING);
      if (r == 0) break;
      if (r != DSC_ERR_NO_SUCH_VALUE) return 4;
    }
  }
  return 0;
}
