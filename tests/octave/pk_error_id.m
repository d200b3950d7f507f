## ID = PK_ERROR_ID (FCN, ARG1, ...)
## Calls FCN with the arguments and returns the identifier of the error it raised ("" if none).
function id = pk_error_id (fcn, varargin)
  id = "";
  try
    fcn (varargin{:});
  catch err
    id = err.identifier;
  end_try_catch
endfunction
