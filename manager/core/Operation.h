#pragma once
// One meter operation as the pages of the version 3/4 program run it.
//
// An operation is a function of an OperationContext returning success. It
// leaves its result text in StatusText: a fixed success text, or a fixed
// error prefix followed by the meter layer's reason (Fail). The runner of
// the window, or the command-line tool, shows that text afterwards.

#include <functional>
#include <string>

#include "common/core/FormatSettings.h"
#include "common/core/OperationHooks.h"
#include "manager/core/Addressing.h"
#include "meter34/MeterConnection.h"

namespace manager::core {

struct OperationContext {
    OperationContext(meter34::TMeterConnection& connection, common::OperationHooks& hooks,
                     const common::FormatSettings& formats, ExchangeValues exchange = {})
        : Connection(connection), Hooks(hooks), Formats(formats), Exchange(exchange) {}

    meter34::TMeterConnection& Connection;
    common::OperationHooks& Hooks;
    const common::FormatSettings& Formats;
    // The exchange parameters as the user set them (commands that change the
    // link's settings for one exchange restore them from here).
    ExchangeValues Exchange;
    std::string StatusText;

    meter34::TMeter& Meter() { return *Connection.Meter; }
    links::TCommunication& Link() { return *Connection.Link; }

    // StatusText := prefix + the meter layer's reason of the last failure; false.
    bool Fail(const std::string& prefix);
    // StatusText := text; true.
    bool Succeed(std::string text);
    // Reads structure number at index into data (it must hold 256 bytes). A
    // failure sets StatusText to prefix + the meter layer's reason; a reply
    // shorter than size to prefix + "неверная длина ответа (N байт вместо M)".
    bool ReadStructure(std::uint8_t number, std::uint16_t index, int size, std::uint8_t* data, const std::string& prefix);
};

using MeterOperation = std::function<bool(OperationContext&)>;

// The meter layer's text for its last result code.
std::string ResultText(const meter34::TMeter& meter);

}  // namespace manager::core
