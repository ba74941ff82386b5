#include "console_form_view.h"
#include "product_table.h"
#include "run_driver.h"
#include "sessions.h"
#include "updater.h"

namespace qvt::linux_app {

int RunConsole(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors) {
    ConsoleFormView view(out, errors);
    Updater updater(Ports{view, backend.clock(), backend.driver(), backend.bus(),
                          backend.resource(), ProductDescrambleTable()});
    const bool loaded = updater.form.FormCreate();
    if (loaded) {
        ApplyForce(updater, options);
        ClickStartWhileEnabled(updater, options);
    }
    updater.form.FormClose();
    out.flush();
    return OutcomeOf(updater, loaded);
}

}  // namespace qvt::linux_app
