# The layers of src/ as the build enforces them, checked once more by reading
# the sources: every quoted include of a file in src/<folder> must name a
# header of its own folder or of a folder below it, and never by a relative
# path (a "../" would reach past the include path the build gives it).
#   cmake -DSRC=<src folder> -P checklayers.cmake
set(layer_base 0)
set(layer_appicon 0)
set(layer_gamepad 0)
set(layer_remote 0)
set(layer_link 1)
set(layer_camera 2)
set(layer_app 3)
set(folders base appicon gamepad remote link camera app)

# Which folder holds each header.
foreach(folder IN LISTS folders)
    file(GLOB headers RELATIVE ${SRC}/${folder} ${SRC}/${folder}/*.h)
    foreach(header IN LISTS headers)
        set(home_${header} ${folder})
    endforeach()
endforeach()

set(faults "")
file(GLOB_RECURSE sources RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
foreach(source IN LISTS sources)
    get_filename_component(folder ${source} DIRECTORY)
    if(NOT DEFINED layer_${folder})
        list(APPEND faults "${source}: folder ${folder} has no layer")
        continue()
    endif()
    file(STRINGS ${SRC}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
        if(included MATCHES "/")
            list(APPEND faults "${source}: includes \"${included}\" by a path")
            continue()
        endif()
        if(NOT DEFINED home_${included})
            continue() # generated (ui_*.h, *.moc) or a library's own
        endif()
        set(home ${home_${included}})
        if(layer_${home} GREATER layer_${folder}
           OR (NOT home STREQUAL folder AND layer_${home} EQUAL layer_${folder}))
            list(APPEND faults "${source}: includes ${home}/${included} (${home} is not below ${folder})")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "Includes that cross a layer upward:\n${text}")
endif()
list(LENGTH sources count)
message(STATUS "layers: ${count} files include only their own folder and those below it")
