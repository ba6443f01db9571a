// Opening a secondary window: a new instance every time, held in the program-wide
// reference of its class, shown modally; the superseded instance is released.
#pragma once

#include <memory>
#include <utility>

template <typename Form, typename... Args>
void showFreshModal(Form*& reference, Args&&... constructorArguments)
{
    std::unique_ptr<Form> superseded(reference);
    reference = nullptr;
    superseded.reset();
    reference = new Form(std::forward<Args>(constructorArguments)...);
    reference->exec();
}
