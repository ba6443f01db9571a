// Opening a secondary window: a new instance every time, held in the program-wide
// reference of its class, shown modally; the superseded instance is released.
#pragma once

#include <QObject>

#include <utility>

// Stores `instance` in `reference`; the reference is cleared if its owner releases it.
template <typename Form> void holdIn(Form*& reference, Form* instance)
{
    reference = instance;
    QObject::connect(instance, &QObject::destroyed, [&reference, instance] {
        if (reference == instance)
            reference = nullptr;
    });
}

template <typename Form, typename... Args>
void showFreshModal(Form*& reference, Args&&... constructorArguments)
{
    delete reference;
    holdIn(reference, new Form(std::forward<Args>(constructorArguments)...));
    reference->exec();
}
