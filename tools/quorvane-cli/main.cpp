// quorvane-cli: reads and sets meters of versions 3 and 4 from scripts.
//
// Exit codes: 0 success, 1 a meter or link failure (the Russian reason on
// stderr), 2 bad usage. The commands are rows of the command table
// (Commands_<Feature>.cpp, gathered by Commands() in Cli.cpp).

#include <iostream>

#include "Cli.h"

using namespace qcli;

int main(int argc, char** argv) {
    CommandLine cl;
    try {
        cl = ParseCommandLine(argc, argv);
    } catch (const Usage& u) {
        std::cerr << "quorvane-cli: " << u.text << "\n(see quorvane-cli --help)\n";
        return 2;
    }
    if (cl.help) {
        std::cout << UsageText();
        return 0;
    }
    const Options& o = cl.options;
    meter34::TMeterConnection c;
    if (!c.Open(o.conn)) {
        std::cerr << "Произошла ошибка! Проверьте параметры подключения";
        if (!c.ErrorText.empty()) std::cerr << " (" << c.ErrorText << ")";
        std::cerr << "\n";
        return 1;
    }
    if (c.ControllerFailed) std::cerr << "Не удалось открыть прозрачный режим!\n";
    if (o.extraTimeout >= 0) c.Link->ExtraTimeout = o.extraTimeout;
    Session session(o, c);
    int rc = 0;
    for (const auto& cmd : cl.commands) {
        try {
            std::string status;
            if (cmd.row->addressed && !c.PrepareAddressing(o.meter, o.version, o.addr, status)) throw Failure{status};
            Output out(o.json, cmd.row->name);
            cmd.action(session, out);
            out.Print();
        } catch (const Failure& f) {
            Output::PrintFailure(o.json, cmd.row->name, f.text);
            std::cerr << f.text << "\n";
            rc = 1;
            break;
        }
    }
    c.Close();
    return rc;
}
