#pragma once

#include "app_device.h"
#include "app_driver.h"
#include "awake_hold.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "firmware_image.h"
#include "hid_bus.h"
#include "image_resource.h"
#include "log_record.h"
#include "main_form.h"
#include "update_sequence.h"
#include "window_model.h"
#include "window_view.h"

namespace qvt {

// The version word at the head of the image resource, as the title writes versions.
std::string ImageVersionText(ImageResource& resource);

struct Ports {
    WindowView& view;
    Clock& clock;
    AppDriver& driver;
    HidBus& bus;
    ImageResource& resource;
    const DescrambleTable& table;
    RecordHeader header = {};
    // What keeps the machine awake while a run flashes; none where nothing is flashed.
    AwakeHold* awake = nullptr;
};

// The composition root: one of each module, wired by reference. Every front end and every test
// builds one, so each starts from the state of a freshly started program.
class Updater {
  public:
    explicit Updater(const Ports& ports)
        : record(LogRecord::HeaderLines(ports.header, ImageVersionText(ports.resource))),
          model(ports.view, record, &ports.clock),
          loader(ports.resource, ports.table, firmware),
          app(ports.driver, loader),
          link(ports.bus, ports.clock, model),
          protocol(link, loader, firmware, ports.clock, model),
          sequence(model, app, link, protocol, ports.clock, ports.awake),
          form(model, loader, app, link, sequence) {}

    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // What the session has come to, in the words of the record's last line.
    std::string Standing() const;

    LogRecord record;
    WindowModel model;
    FirmwareImage firmware;
    FirmwareImageLoader loader;
    AppModeUnits app;
    BootLoaderLink link;
    BootProtocol protocol;
    UpdateSequence sequence;
    MainForm form;
};

}  // namespace qvt
