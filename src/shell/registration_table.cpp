#include "shell/registration_table.h"

#include <cstdio>

namespace vexlo {

std::string GuidText(const Guid& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

bool UsesShortServerPath(std::string_view modulePath) {
    return modulePath.find(' ') != modulePath.npos;
}

std::string ServerFileName(std::string_view modulePath, std::string_view shortPath) {
    const bool useShort = UsesShortServerPath(modulePath) && !shortPath.empty();
    return std::string(useShort ? shortPath : modulePath);
}

namespace {

std::string ClsidKey(const ShellClass& cls) { return "CLSID\\" + std::string(cls.clsidText); }

std::string ShellexKey(std::string_view fileClass) { return std::string(fileClass) + "\\shellex"; }

}  // namespace

std::vector<RegWrite> RegistrationWrites(const ShellClass& cls, std::string_view serverFile,
                                         bool ntFamily) {
    const std::string clsid(cls.clsidText);
    const std::string server = ClsidKey(cls) + "\\InprocServer32";
    std::vector<RegWrite> steps = {
        {RegRoot::ClassesRoot, ClsidKey(cls), "", std::string(cls.description)},
        {RegRoot::ClassesRoot, server, "", std::string(serverFile)},
        {RegRoot::ClassesRoot, server, "ThreadingModel", std::string(cls.threadingModel)},
    };
    for (std::size_t i = 0; i < cls.fileClassCount; ++i) {
        const std::string shellex = ShellexKey(cls.fileClasses[i]);
        const std::string handlers = shellex + "\\ContextMenuHandlers";
        steps.push_back({RegRoot::ClassesRoot, shellex, "", ""});
        steps.push_back({RegRoot::ClassesRoot, handlers, "", ""});
        steps.push_back(
            {RegRoot::ClassesRoot, handlers + "\\" + std::string(cls.handlerName), "", clsid});
    }
    if (ntFamily)
        steps.push_back({RegRoot::LocalMachine, std::string(kApprovedKey), clsid,
                         std::string(cls.description)});
    return steps;
}

std::vector<RegDelete> UnregistrationDeletes(const ShellClass& cls) {
    std::vector<RegDelete> steps;
    steps.push_back({RegRoot::ClassesRoot, ClsidKey(cls) + "\\InprocServer32"});
    steps.push_back({RegRoot::ClassesRoot, ClsidKey(cls)});
    for (std::size_t i = 0; i < cls.fileClassCount; ++i) {
        const std::string shellex = ShellexKey(cls.fileClasses[i]);
        const std::string handlers = shellex + "\\ContextMenuHandlers";
        steps.push_back({RegRoot::ClassesRoot, handlers + "\\" + std::string(cls.handlerName), true});
        steps.push_back({RegRoot::ClassesRoot, handlers, true});
        steps.push_back({RegRoot::ClassesRoot, shellex, true});
    }
    return steps;
}

}  // namespace vexlo
