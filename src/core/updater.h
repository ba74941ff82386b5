#pragma once

#include "app_device.h"
#include "app_driver.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "firmware_image.h"
#include "form_controls.h"
#include "form_view.h"
#include "hid_bus.h"
#include "image_resource.h"
#include "main_form.h"
#include "update_sequence.h"

namespace qvt {

struct Ports {
    FormView& view;
    Clock& clock;
    AppDriver& driver;
    HidBus& bus;
    ImageResource& resource;
    const DescrambleTable& table;
};

// The composition root: one of each module, wired by reference. Every front end and every test
// builds one, so each starts from the state of a freshly started program.
class Updater {
  public:
    explicit Updater(const Ports& ports)
        : controls(ports.view),
          loader(ports.resource, ports.table, firmware),
          app(ports.driver, loader),
          link(ports.bus, ports.clock, ports.view),
          protocol(link, loader, firmware, ports.clock),
          sequence(controls, app, link, protocol, ports.clock),
          form(controls, loader, app, link, sequence) {}

    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    FirmwareImage firmware;
    FormControls controls;
    FirmwareImageLoader loader;
    AppDevice app;
    BootLoaderLink link;
    BootProtocol protocol;
    UpdateSequence sequence;
    MainForm form;
};

}  // namespace qvt
