# Reads the identity table (library/identity.h) into CMake variables named
# after its constants, so the type library source and the Windows resource
# script are filled from the same table the code uses:
#   kName      the value as written (identifiers without braces, numbers as
#              written, texts without quotes)
#   kName_RC   for identifiers: the 20-byte length-prefixed resource body
#              as words for a resource script's data block
function(borvane_read_identity header)
  file(STRINGS ${header} lines REGEX "^inline constexpr ")
  foreach(line IN LISTS lines)
    if(line MATCHES "^inline constexpr Guid (k[A-Za-z0-9]+)\\{\"([0-9A-Fa-f-]+)\"\\};")
      set(name ${CMAKE_MATCH_1})
      set(value ${CMAKE_MATCH_2})
      set(${name} ${value} PARENT_SCOPE)
      # Length 16 as a 32-bit word, Data1 as a 32-bit word, Data2 and Data3
      # as 16-bit words, then Data4 byte pairs as little-endian 16-bit words.
      string(SUBSTRING ${value} 0 8 d1)
      string(SUBSTRING ${value} 9 4 d2)
      string(SUBSTRING ${value} 14 4 d3)
      string(REPLACE "-" "" tail ${value})
      string(SUBSTRING ${tail} 16 16 d4)
      set(words "16L, 0x${d1}L, 0x${d2}, 0x${d3}")
      foreach(i 0 4 8 12)
        string(SUBSTRING ${d4} ${i} 2 lo)
        math(EXPR j "${i} + 2")
        string(SUBSTRING ${d4} ${j} 2 hi)
        string(APPEND words ", 0x${hi}${lo}")
      endforeach()
      set(${name}_RC "${words}" PARENT_SCOPE)
    elseif(line MATCHES "^inline constexpr std::u?int[0-9]+_t (k[A-Za-z0-9]+) = ([0-9A-Fa-fx]+);")
      set(${CMAKE_MATCH_1} ${CMAKE_MATCH_2} PARENT_SCOPE)
    elseif(line MATCHES "^inline constexpr std::string_view (k[A-Za-z0-9]+) = \"([^\"]*)\";")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
