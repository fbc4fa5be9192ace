// OpenCASCADE's messages and direct writes on standard error.
#include "OcctOutput.h"

#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>

#include <iostream>

namespace Hostsim {

namespace {

void routeMessenger() {
    static const bool done = [] {
        const Handle(Message_Messenger)& messenger = Message::DefaultMessenger();
        messenger->ChangePrinters().Clear();
        Handle(Message_PrinterOStream) printer =
            new Message_PrinterOStream("cerr", false, Message_Fail);
        printer->SetToColorize(false);
        messenger->AddPrinter(printer);
        return true;
    }();
    (void)done;
}

} // namespace

OcctOutputGuard::OcctOutputGuard() : standardOutput_(std::cout.rdbuf()) {
    routeMessenger();
    std::cout.flush();
    std::cout.rdbuf(std::cerr.rdbuf());
}

OcctOutputGuard::~OcctOutputGuard() {
    std::cout.flush();
    std::cout.rdbuf(standardOutput_);
}

} // namespace Hostsim
