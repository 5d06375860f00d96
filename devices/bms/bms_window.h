#pragma once

#include <cstdint>

#include "link/device_model.h"
#include "ui/dragged_window.h"

namespace veltrona {

struct BmsView;
class RegisterTablePage;

// What the BMS window reads; the main window owns both.
struct BmsLink {
    const BmsView* view = nullptr;
    const DeviceList* devices = nullptr;

    const DeviceModel* model() const;
};

// The BMS window: its registers as a live table, and general, settings and statistics pages
// that are laid out but show no device data.
class TFormSku : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormSku();
    ~TFormSku() override;

    void Attach(const BmsLink& link) { link_ = link; }

    // After every read transaction of the BMS, answered or not (the view already holds its
    // values): the rows of exactly the registers of that read.
    void RefreshBlockRows(std::uint16_t block);

    RegisterTablePage& tablePage() const { return *table_; }

  private:
    BmsLink link_;
    RegisterTablePage* table_ = nullptr;
};

}  // namespace veltrona
