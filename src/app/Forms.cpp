#include "app/Forms.h"

#include "accounts/frmChangePassword.h"
#include "accounts/frmVantrel.h"
#include "app/frmCRViewer.h"
#include "app/frmYesNo.h"
#include "contacts/frmDetails.h"

#include <memory>

namespace {

template <typename T> std::unique_ptr<T>& slot()
{
    static std::unique_ptr<T> instance;
    return instance;
}

template <typename T> T& instance()
{
    auto& object = slot<T>();
    if (!object)
        object = std::make_unique<T>();
    return *object;
}

} // namespace

::frmVantrel& Forms::frmVantrel()
{
    return instance<::frmVantrel>();
}

::frmDetails& Forms::frmDetails()
{
    return instance<::frmDetails>();
}

::frmChangePassword& Forms::frmChangePassword()
{
    return instance<::frmChangePassword>();
}

::frmYesNo& Forms::frmYesNo()
{
    return instance<::frmYesNo>();
}

::frmCRViewer& Forms::frmCRViewer()
{
    return instance<::frmCRViewer>();
}

void Forms::destroyAll()
{
    slot<::frmYesNo>().reset();
    slot<::frmCRViewer>().reset();
    slot<::frmDetails>().reset();
    slot<::frmChangePassword>().reset();
    slot<::frmVantrel>().reset();
}
