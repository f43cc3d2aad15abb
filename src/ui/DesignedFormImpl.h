#pragma once

// Included by a window's source after its generated form, followed by
// `template class ui::DesignedForm<Ui::frmX>;`.
#include "ui/Form.h"

namespace ui {

template <typename Design> DesignedForm<Design>::DesignedForm() = default;
template <typename Design> DesignedForm<Design>::~DesignedForm() = default;

template <typename Design> void DesignedForm<Design>::setupControls(QWidget* window)
{
    ui = std::make_unique<Design>();
    ui->setupUi(window);
    wireControls();
}

template <typename Design> void DesignedForm<Design>::discardControls()
{
    ui.reset();
}

} // namespace ui
