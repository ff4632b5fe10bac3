// Writes seed archives for the fuzz target with the packing library itself: paths,
// links, stored and deflated items, the engine field and a replaced item.
//   fuzz_seeds <source folder> <corpus folder>

#include <string>

#include "lsp/lsp.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string src = argv[1], out = argv[2];
    const std::string a = out + "/own-paths.zip", b = out + "/own-link.zip", c = out + "/own-stored.zip";
    LSP_PACK((src + "/a.txt").c_str(), a.c_str(), "", LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS | LSP_PF_BATCH);
    LSP_PACK((src + "/sub/b.bin").c_str(), a.c_str(), "", LSP_METHOD_NORMAL,
             LSP_PF_STORE_PATHS | LSP_PF_RETAIN | LSP_PF_BATCH);
    LSP_PACK((src + "/a.txt").c_str(), a.c_str(), "", LSP_METHOD_SUPERIOR, LSP_PF_STORE_PATHS | LSP_PF_UPDATE);
    LSP_PACK((src + "/link").c_str(), b.c_str(), "", LSP_METHOD_SUPERIOR, LSP_PF_SYSTEM | LSP_PF_MAXIMUM);
    LSP_PACK((src + "/a.txt").c_str(), c.c_str(), "", LSP_METHOD_STORED, LSP_PF_HIDDEN | LSP_PF_READ_ONLY);
    return 0;
}
