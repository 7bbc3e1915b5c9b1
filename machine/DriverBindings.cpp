#include "machine/DriverBindings.h"

#include "drivers/components/usb/qex_usb/QexUsb.h"
#include "drivers/components/usb/qex_usb/QexUsbPublic.h"
#include "drivers/uploader/QexDmx.h"
#include "platform/usb/WidgetIds.h"

namespace machine {

std::vector<platform::kernel::DriverBinding> DefaultDriverBindings()
{
    // The unprogrammed widget gets the firmware loader; once its firmware runs it comes
    // back with the widget's vendor id and one of the products the USB driver knows.
    std::vector<platform::kernel::DriverBinding> bindings{
        {qex_dmx::kDriverName, widget_ids::kUnprogrammedVendorId, widget_ids::kUnprogrammedProductId,
         &qex_dmx::DriverEntry},
    };
    for (const std::uint16_t product :
         {qex_usb::kProduct512, qex_usb::kProduct2048, qex_usb::kProduct2048B, qex_usb::kProduct4096})
        bindings.push_back({qex_usb::kDriverName, widget_ids::kWidgetVendorId, product, &qex_usb::DriverEntry});
    return bindings;
}

} // namespace machine
