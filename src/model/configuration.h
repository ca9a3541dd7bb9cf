#pragma once

#include "model/channels.h"
#include "model/common.h"
#include "model/common_params.h"
#include "model/configuration_file.h"
#include "model/net_rs485.h"

namespace zep8 {

// A whole configuration without a device session behind it: for looking at
// a file, or checking one.
struct Configuration {
    explicit Configuration(ProgramInfo info = ProgramInfo{"", "", ""}) : service(std::move(info)) {
        service.InitParameters();
        net.InitParameters();
        common.InitParameters();
        channels.InitParameters();
    }
    ConfigurationNodes nodes() { return {service, net, common, channels}; }

    CommonParams service;
    NetRS485 net;
    Common common;
    Channels channels;
};

}  // namespace zep8
