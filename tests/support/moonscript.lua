-- Stand-in for the MoonScript module, for the tests: the same entry points the engine uses
-- (dofile, loadfile, package.moonpath and a module loader on it), but the files are run as
-- plain Lua source; nothing is compiled.
local moonscript = { standin = true }

-- As MoonScript does: derive the search path of .moon files from package.path once.
if type(package.moonpath) ~= "string" then
  package.moonpath = (package.path:gsub("%.lua", ".moon"))
end

function moonscript.loadfile(path)
  return loadfile(path)
end

function moonscript.dofile(path)
  local chunk = assert(moonscript.loadfile(path))
  return chunk()
end

-- Finds a module on package.moonpath, after the preload searcher.
local function moon_loader(name)
  local file_name = name:gsub("%.", "/")
  local tried = {}
  for template in package.moonpath:gmatch("[^;]+") do
    local path = template:gsub("%?", file_name)
    local file = io.open(path, "r")
    if file then
      file:close()
      return assert(moonscript.loadfile(path))
    end
    tried[#tried + 1] = "\n\tno moon file '" .. path .. "'"
  end
  return table.concat(tried)
end

table.insert(package.loaders, 2, moon_loader)

return moonscript
