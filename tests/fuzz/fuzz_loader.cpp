// The whole load of a feed, as the window and the command line load one,
// from any bytes (CSV, or XML that the loader converts first): a feed that
// loads loads again as its own base, and its goods save to a file that
// loads back with as many goods.
#include <cstdint>

#include "catmodel.h"
#include "fuzzfiles.h"
#include "model.h"

using FuzzFiles::Require;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFiles::Application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString feed = FuzzFiles::Write("feed.csv", data, size);
    Model model;
    if (!model.AddFile(feed)) {
        Require(!model.LastError().isEmpty(), "a failed load says why");
        return 0;
    }
    const int goods = model.Root().GoodCount(true);
    const QString saved = FuzzFiles::Folder().filePath(QStringLiteral("saved.csv"));
    Require(model.SaveToFile(saved), "loaded goods save");
    if (goods > 0) {
        Model again;
        Require(again.AddFile(saved), "a saved file loads");
        Require(again.Root().GoodCount(true) == goods, "a saved file loads with as many goods");
    }
    Require(model.AddFile(feed, true), "a feed loads as its own base");
    return 0;
}
