/* SAY ends each line with a line feed; a carriage return and line feed inside the text become
   one line feed on the console, a lone carriage return stays */
say 'plain'
say
say 'two' || '0d0a'x || 'lines'
say 'lone' || '0d'x || 'return'
