object TestWindow: TTestBase
  object Label1: TLabel
    Caption = 'Från basen'
  end
end
