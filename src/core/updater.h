#pragma once

#include "app_device.h"
#include "app_driver.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "firmware_image.h"
#include "form_view.h"
#include "hid_bus.h"
#include "image_resource.h"
#include "main_form.h"
#include "update_sequence.h"
#include "window.h"

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
        : window(ports.view),
          image(ports.resource, ports.table),
          app(ports.driver, image),
          link(ports.bus, ports.clock),
          protocol(link, image, ports.clock),
          sequence(window, app, link, protocol, ports.clock),
          form(window, image, app, link, sequence) {}

    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    Window window;
    FirmwareImageLoader image;
    AppDevice app;
    BootLoaderLink link;
    BootProtocol protocol;
    UpdateSequence sequence;
    MainForm form;
};

}  // namespace qvt
