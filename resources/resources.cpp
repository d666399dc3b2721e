// The pictures are compiled into this library as Qt resources under ":/kestrel/".
