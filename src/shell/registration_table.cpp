#include "shell/registration_table.h"

namespace vexlo {

namespace {
// Upper-case hex digits, most significant first. (Written out rather than formatted: the
// C library's formatter would bring its whole floating-point printing into the DLL.)
void AppendHex(std::string& out, std::uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back("0123456789ABCDEF"[(value >> shift) & 0xF]);
}
}  // namespace

std::string GuidText(const Guid& g) {
    std::string text = "{";
    AppendHex(text, g.data1, 8);
    text.push_back('-');
    AppendHex(text, g.data2, 4);
    text.push_back('-');
    AppendHex(text, g.data3, 4);
    text.push_back('-');
    for (int i = 0; i < 8; ++i) {
        if (i == 2) text.push_back('-');
        AppendHex(text, g.data4[i], 2);
    }
    text.push_back('}');
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
    // Handler keys first: Explorer never finds a handler naming a class that is gone. The
    // shared handler keys need no other order: whether the other view still registers the
    // class is read before anything is deleted (registration.cpp), and the CLSID keys
    // deleted here are this view's own.
    for (std::size_t i = 0; i < cls.fileClassCount; ++i) {
        const std::string shellex = ShellexKey(cls.fileClasses[i]);
        const std::string handlers = shellex + "\\ContextMenuHandlers";
        steps.push_back({RegRoot::ClassesRoot, handlers + "\\" + std::string(cls.handlerName), true});
        steps.push_back({RegRoot::ClassesRoot, handlers, true});
        steps.push_back({RegRoot::ClassesRoot, shellex, true});
    }
    steps.push_back({RegRoot::ClassesRoot, ClsidKey(cls) + "\\InprocServer32"});
    steps.push_back({RegRoot::ClassesRoot, ClsidKey(cls)});
    return steps;
}

}  // namespace vexlo
