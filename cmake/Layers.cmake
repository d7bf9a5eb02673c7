# The layers as the build sees them. Each folder of the program is one layer, and each library
# names the layer it belongs to: its include root is a folder of the build tree that holds only a
# link to that layer's sources (layers/console/console -> <source>/console). A library adds its own
# root, and sees the roots of the libraries it links, so `#include "console/console_model.h"` is
# found exactly where console/ lies below. Nothing puts the project's root on an include path: a
# file that includes from a layer above its own does not build.
function(veltrano_layer target layer)
    set(root ${PROJECT_BINARY_DIR}/layers/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL INTERFACE_LIBRARY)
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
