#pragma once

#include "ModelContainer.h"

#include <QString>

#include <memory>

// Opens the store for the application's entry. A store that cannot be opened is fatal: prints
// "Could not create ModelContainer: " and the description to standard error and exits with status 1,
// leaving the file untouched.
std::unique_ptr<ModelContainer> openStoreOrDie(const QString& filePath = ModelContainer::defaultStorePath());
