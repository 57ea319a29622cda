# The one place that picks the Qt major version (TARNDECK_QT, 5 or 6) and
# finds its components. Every other CMake file names Qt's targets without a
# version (Qt::Core, Qt::Widgets, ...; both Qt 5.15 and Qt 6 define them) and
# the two targets below for what sits in different modules:
#
#   tarndeck_qt_sax   the SAX reader: Qt Xml on Qt 5, Core5Compat on Qt 6
#   tarndeck_qt_x11   the X display behind the application: X11Extras on
#                     Qt 5, Qt Gui's native interface on Qt 6 (X11 only)
#
# Found here, at the top of the tree, the targets are visible everywhere.
set(TARNDECK_QT 5 CACHE STRING "Qt major version to build with: 5 (5.15) or 6")
set_property(CACHE TARNDECK_QT PROPERTY STRINGS 5 6)

if(TARNDECK_QT STREQUAL "5")
    set(tarndeck_qt_minimum 5.15)
    set(tarndeck_qt_sax_component Xml)
elseif(TARNDECK_QT STREQUAL "6")
    set(tarndeck_qt_minimum 6.4)
    set(tarndeck_qt_sax_component Core5Compat)
else()
    message(FATAL_ERROR "TARNDECK_QT is 5 or 6, not '${TARNDECK_QT}'")
endif()

set(tarndeck_qt_components Core Gui Widgets SerialPort Network WebSockets
    ${tarndeck_qt_sax_component})
if(TARNDECK_X11 AND TARNDECK_QT STREQUAL "5")
    list(APPEND tarndeck_qt_components X11Extras)
endif()
if(TARNDECK_BUILD_TESTS)
    list(APPEND tarndeck_qt_components Test)
endif()
find_package(Qt${TARNDECK_QT} ${tarndeck_qt_minimum} REQUIRED COMPONENTS ${tarndeck_qt_components})
message(STATUS "Building with Qt ${Qt${TARNDECK_QT}_VERSION}")

add_library(tarndeck_qt_sax INTERFACE)
target_link_libraries(tarndeck_qt_sax INTERFACE Qt::${tarndeck_qt_sax_component})

if(TARNDECK_X11)
    add_library(tarndeck_qt_x11 INTERFACE)
    if(TARNDECK_QT STREQUAL "5")
        target_link_libraries(tarndeck_qt_x11 INTERFACE Qt::X11Extras X11::X11)
    else()
        target_link_libraries(tarndeck_qt_x11 INTERFACE Qt::Gui X11::X11)
    endif()
endif()
