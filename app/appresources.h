// The images and the window icon are compiled into the resource collection
// AppResources (AppResources.qrc). The collection's own initialiser registers
// it before main() runs, but it sits in the static library vantrel_app, and a
// program takes from a static library only the objects it references. Every
// window that names an image includes this header: the reference below pulls
// the collection, and with it that initialiser, into the program.
#pragma once

int qInitResources_AppResources();

namespace {
[[gnu::used]] int (*const appResourcesAnchor)() = &qInitResources_AppResources;
}
